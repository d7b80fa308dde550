#pragma once

// The configuration store under the key "\Software\Ostrelo" (the registry of
// the current user on Windows, ~/.config/Ostrelo.conf elsewhere). Values are
// read once at start and written at close; the connection settings dialog
// writes the proxy values itself.
//
// Names and string values are Windows-1251 bytes. A value that is absent reads
// as nothing; an integer value that does not hold a number reads as nothing.

#include <optional>
#include <string>

namespace mirvaly {

class ConfigStore {
public:
    virtual ~ConfigStore() = default;
    virtual std::optional<std::string> readString(const std::string& name) = 0;
    virtual std::optional<int> readInteger(const std::string& name) = 0;
    virtual void writeString(const std::string& name, const std::string& value) = 0;
    virtual void writeInteger(const std::string& name, int value) = 0;
    // Makes the writes durable (the INI file is written lazily otherwise).
    virtual void flush() = 0;
};

}  // namespace mirvaly
