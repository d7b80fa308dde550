#include "viewer/xml_escape.h"

#include <gtest/gtest.h>

#include <string>

#include "common/codec.h"

using namespace std::string_literals;

namespace mirvaly {
namespace {

TEST(XmlEscape, FiveCharactersAndNothingElse) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"a & b", "a &amp; b"},
        {"\"x\"", "&quot;x&quot;"},
        {"it's", "it&apos;s"},
        {"<b>", "&lt;b&gt;"},
        {"&<>\"'", "&amp;&lt;&gt;&quot;&apos;"},
        // An entity already there is escaped again.
        {"&amp;", "&amp;amp;"},
        {"&quot;", "&amp;quot;"},
        {cp("Х/ф «Война и мир»"), cp("Х/ф «Война и мир»")},
        {"line\r\nbreak\0zero"s, "line\r\nbreak\0zero"s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XmlEscape(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace mirvaly
