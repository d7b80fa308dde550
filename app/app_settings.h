#pragma once

// The settings the main window holds for the whole run: what the configuration
// gives at start, what the settings menu changes, and the values the refresh
// copies into the service connection record before each exchange. Plain data,
// no Qt; texts are Windows-1251 bytes.

#include <array>
#include <string>

namespace mirvaly {

inline constexpr const char* kProgVersion = "17";

// Placeholders under the reserved .invalid domain until the service's real
// host names are known; the configuration values "ServiceHost1" and
// "ServiceHost2" override them ("name" or "name:port").
inline constexpr const char* kDefaultServiceHost1 = "tv1.mirvaly.invalid";
inline constexpr const char* kDefaultServiceHost2 = "tv2.mirvaly.invalid";

// What the refresh copies into the connection record (TConnectHTTP).
struct ConnectionSettings {
    std::string host;  // the service host in use: one of the two below
    std::string progVersion = kProgVersion;
    std::string proxyHost;
    std::string proxyPort;
    std::string proxyUser;
    std::string proxyPassword;
    std::string subscriberId;
};

// Document format setting: 0 TXT, 1 RTF, 2 DOS. Other numbers are kept as
// read (and written back), they tick no format item.
enum FileFormatCode { kFormatTxt = 0, kFormatRtf = 1, kFormatDos = 2 };

struct AppSettings {
    bool shiftTimeAuto = true;  // tick of the menu item ShiftTime
    bool findNewTv = false;     // tick of the menu item FindNewTv
    int fileFormat = kFormatTxt;
    std::string primaryHost = kDefaultServiceHost1;
    std::string alternateHost = kDefaultServiceHost2;
    ConnectionSettings connection;

    // The host the refresh switches to before its first exchange: the
    // alternate one when the primary is in use, otherwise the primary.
    const std::string& otherHost() const {
        return connection.host == primaryHost ? alternateHost : primaryHost;
    }
};

// Day and month names for the viewer's day headings, Windows-1251. Index 0 is
// not used: DayNames()[1] is Monday, MonthNames()[1] is "января" (genitive).
const std::array<std::string, 8>& DayNames();
const std::array<std::string, 13>& MonthNames();

}  // namespace mirvaly
