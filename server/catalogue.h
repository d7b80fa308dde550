#pragma once

// The reference service's catalogue: the programmes it offers, the subscribers
// it knows, an optional message and an optional new program version. It is a
// folder of Windows-1251 files whose format server/README.md describes;
// loadCatalogue reads it, saveCatalogue writes it (the generator uses that).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mirvaly::reference {

class CatalogueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One broadcast item of a "TAB" programme; texts as they go into table P.
struct CatalogueItem {
    std::string date;  // "dd.mm.yyyy"
    std::string time;  // as written ("9.30", "21:00"); may be empty
    std::string title;
    std::string type;
    std::string name;
    std::string anons;
};

// One programme. Empty optional texts and absent numbers go out as NULL.
struct CatalogueProgramme {
    int64_t key = 0;   // DATEKEY: seconds since 1970 of the save moment
    std::string date;  // first broadcast day, "dd.mm.yyyy"
    std::string channel;
    std::string variant;  // R, S, P or A
    std::string subvariant;
    std::string category;
    std::optional<int> num;
    std::optional<int> shiftTime;
    std::optional<int> counts;
    std::string types;                 // TAB, TXT or FIL
    std::string fileName;              // for FIL
    std::vector<CatalogueItem> items;  // TAB
    std::string content;               // TXT text or FIL bytes
};

struct NewVersion {
    int version = 0;
    std::string bytes;
    size_t sectionSize = 1000000;
};

struct Catalogue {
    std::vector<CatalogueProgramme> programmes;
    std::vector<std::string> subscribers;  // empty: every subscriber is served
    std::string message;                   // shown with every login reply when set
    std::optional<NewVersion> newVersion;

    const CatalogueProgramme* find(int64_t key) const;
};

// Throws CatalogueError naming the file and line that cannot be read.
Catalogue loadCatalogue(const std::filesystem::path& folder);
// Writes the folder (created when missing); existing catalogue files are replaced.
void saveCatalogue(const Catalogue& catalogue, const std::filesystem::path& folder);

}  // namespace mirvaly::reference
