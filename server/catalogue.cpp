#include "server/catalogue.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace mirvaly::reference {
namespace fs = std::filesystem;
namespace {

constexpr char kProgrammes[] = "programmes.tsv";
constexpr char kSubscribers[] = "subscribers.txt";
constexpr char kMessage[] = "message.txt";
constexpr char kNewVersion[] = "newversion.txt";
constexpr size_t kProgrammeFields = 11;
constexpr size_t kItemFields = 6;

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw CatalogueError("cannot write " + path.string());
}

// Lines without their line ends; blank lines and lines starting with "#" are
// left out. Each comes with its 1-based number.
std::vector<std::pair<int, std::string>> contentLines(const std::string& text) {
    std::vector<std::pair<int, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        lines.emplace_back(number, line);
    }
    return lines;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

template <typename T>
std::optional<T> number(const std::string& text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

[[noreturn]] void fail(const fs::path& file, int line, const std::string& what) {
    throw CatalogueError(file.string() + ":" + std::to_string(line) + ": " + what);
}

std::optional<int> optionalNumber(const fs::path& file, int line, const std::string& text) {
    if (text.empty())
        return std::nullopt;
    const auto value = number<int>(text);
    if (!value)
        fail(file, line, "not a number: " + text);
    return value;
}

std::string optionalText(const std::optional<int>& value) {
    return value ? std::to_string(*value) : std::string();
}

void loadItems(const fs::path& folder, CatalogueProgramme& programme) {
    const fs::path file = folder / "items" / (std::to_string(programme.key) + ".tsv");
    const auto text = readFile(file);
    if (!text)
        return;  // a programme without items
    for (const auto& [line, content] : contentLines(*text)) {
        const auto f = splitTabs(content);
        if (f.size() != kItemFields)
            fail(file, line, "expected 6 tab-separated fields");
        programme.items.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
}

CatalogueProgramme parseProgramme(const fs::path& file, int line, const std::string& content) {
    const auto f = splitTabs(content);
    if (f.size() != kProgrammeFields)
        fail(file, line, "expected 11 tab-separated fields");
    CatalogueProgramme p;
    const auto key = number<int64_t>(f[0]);
    if (!key || *key <= 0 || *key > INT32_MAX)
        fail(file, line, "bad key: " + f[0]);
    p.key = *key;
    p.date = f[1];
    p.channel = f[2];
    p.variant = f[3];
    p.subvariant = f[4];
    p.category = f[5];
    p.num = optionalNumber(file, line, f[6]);
    p.shiftTime = optionalNumber(file, line, f[7]);
    p.counts = optionalNumber(file, line, f[8]);
    p.types = f[9];
    p.fileName = f[10];
    if (p.date.empty() || p.channel.empty() || p.variant.empty()) {
        fail(file, line, "date, channel and variant are required");
    }
    return p;
}

std::optional<NewVersion> loadNewVersion(const fs::path& folder) {
    const fs::path file = folder / kNewVersion;
    const auto text = readFile(file);
    if (!text)
        return std::nullopt;
    NewVersion version;
    std::string executable;
    for (const auto& [line, content] : contentLines(*text)) {
        const size_t eq = content.find('=');
        if (eq == std::string::npos)
            fail(file, line, "expected name=value");
        const std::string name = content.substr(0, eq), value = content.substr(eq + 1);
        if (name == "version") {
            version.version = number<int>(value).value_or(0);
        } else if (name == "section") {
            version.sectionSize = number<size_t>(value).value_or(0);
        } else if (name == "file") {
            executable = value;
        } else {
            fail(file, line, "unknown setting " + name);
        }
    }
    if (version.version <= 0 || version.sectionSize == 0 || executable.empty()) {
        fail(file, 0, "version, section and file must all be set");
    }
    const auto bytes = readFile(folder / executable);
    if (!bytes)
        fail(folder / executable, 0, "cannot read the new executable");
    version.bytes = *bytes;
    return version;
}

}  // namespace

const CatalogueProgramme* Catalogue::find(int64_t key) const {
    for (const auto& p : programmes) {
        if (p.key == key)
            return &p;
    }
    return nullptr;
}

Catalogue loadCatalogue(const fs::path& folder) {
    Catalogue catalogue;
    const fs::path file = folder / kProgrammes;
    const auto text = readFile(file);
    if (!text)
        throw CatalogueError("cannot read " + file.string());
    for (const auto& [line, content] : contentLines(*text)) {
        CatalogueProgramme p = parseProgramme(file, line, content);
        if (catalogue.find(p.key))
            fail(file, line, "duplicate key " + std::to_string(p.key));
        if (p.types == "TAB") {
            loadItems(folder, p);
        } else {
            p.content = readFile(folder / "content" / std::to_string(p.key)).value_or("");
        }
        catalogue.programmes.push_back(std::move(p));
    }
    if (const auto subscribers = readFile(folder / kSubscribers)) {
        for (auto& [line, content] : contentLines(*subscribers)) {
            catalogue.subscribers.push_back(content);
        }
    }
    catalogue.message = readFile(folder / kMessage).value_or("");
    while (!catalogue.message.empty() &&
           (catalogue.message.back() == '\n' || catalogue.message.back() == '\r')) {
        catalogue.message.pop_back();
    }
    catalogue.newVersion = loadNewVersion(folder);
    return catalogue;
}

void saveCatalogue(const Catalogue& catalogue, const fs::path& folder) {
    fs::create_directories(folder / "items");
    fs::create_directories(folder / "content");
    std::string programmes =
        "# key\tdate\tchannel\tvariant\tsubvariant\tcategory\tnum\tshift\tcounts\ttypes\t"
        "filename\n";
    for (const auto& p : catalogue.programmes) {
        programmes += std::to_string(p.key) + '\t' + p.date + '\t' + p.channel + '\t' + p.variant +
                      '\t' + p.subvariant + '\t' + p.category + '\t' + optionalText(p.num) + '\t' +
                      optionalText(p.shiftTime) + '\t' + optionalText(p.counts) + '\t' + p.types +
                      '\t' + p.fileName + '\n';
        const std::string key = std::to_string(p.key);
        if (p.types == "TAB") {
            std::string items = "# date\ttime\ttitle\ttype\tname\tanons\n";
            for (const auto& i : p.items) {
                items += i.date + '\t' + i.time + '\t' + i.title + '\t' + i.type + '\t' + i.name +
                         '\t' + i.anons + '\n';
            }
            writeFile(folder / "items" / (key + ".tsv"), items);
        } else {
            writeFile(folder / "content" / key, p.content);
        }
    }
    writeFile(folder / kProgrammes, programmes);
    std::string subscribers;
    for (const auto& s : catalogue.subscribers)
        subscribers += s + '\n';
    writeFile(folder / kSubscribers, subscribers);
    if (!catalogue.message.empty())
        writeFile(folder / kMessage, catalogue.message + '\n');
    if (catalogue.newVersion) {
        writeFile(folder / "newversion.bin", catalogue.newVersion->bytes);
        writeFile(folder / kNewVersion,
                  "version=" + std::to_string(catalogue.newVersion->version) +
                      "\nsection=" + std::to_string(catalogue.newVersion->sectionSize) +
                      "\nfile=newversion.bin\n");
    }
}

}  // namespace mirvaly::reference
