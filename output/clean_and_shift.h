#pragma once

// Clean-up and broadcast-time shift of programme text, in one left-to-right
// pass.
//
// Every time of the shapes d.dd, d:dd, dd.dd, dd:dd, d:dd:dd and dd:dd:dd is
// rewritten as its hour plus `shift` modulo 24 (no leading zero), then
// `separator`, then its two minute digits; seconds are dropped. Dates dd.dd.dd
// and d.dd.dd (the latter with the byte after it) are copied untouched so that
// their parts are not read as times. A "." followed by a byte of code 32 or
// less does not belong to a shape.
//
// When `cleanUp` is exactly 1 the text is also tidied: typographic quotes
// « » ` ‹ › ‘ ’ become ", a Latin C/c not followed by a digit, a Latin letter
// or ASCII punctuation becomes Cyrillic С/с, a "/" after a blank (or at the
// start) paired with a "/" before a blank, "." or the end becomes "(...)", a
// run of bytes of code 32 or less becomes its last byte (a TAB becomes a
// space) and vanishes at both ends, and leading "+" signs go.
//
// The result ends at the first zero byte it would hold: a zero byte of the
// text that is written (always without the clean-up; with it, unless the
// blank rule drops it), or a zero separator. It carries no terminating zero
// itself. The function is total and never throws beyond std::bad_alloc.

#include <string>
#include <string_view>

namespace mirvaly {

std::string CleanAndShiftText(std::string_view text, int shift, unsigned char cleanUp,
                              char separator);

}  // namespace mirvaly
