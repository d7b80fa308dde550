#pragma once

// Makes a catalogue that looks like a real week of listings: Russian channel
// names, items with times written the ways editors write them, full titles
// with quoted names, types and short titles, variants R, S, P and A, two text
// programmes, one attached file, a "Гиды" programme and time zones 0 and
// non-zero. The same seed gives the same catalogue.

#include <cstdint>
#include <string>

#include "server/catalogue.h"

namespace mirvaly::reference {

struct GeneratorOptions {
    int channels = 6;
    int days = 7;
    uint32_t seed = 1;
    std::string subscriber = "demo";  // Windows-1251
    int itemsPerDay = 40;
    int itemsPerProgramme = 0;  // when above 0, overrides itemsPerDay for the main programmes
    bool extras = true;         // the S, P and A variants, texts, file and guide
    // First broadcast day (a Monday in practice); year 0 means the Monday of
    // the current week.
    int startYear = 0, startMonth = 0, startDay = 0;
};

Catalogue generateCatalogue(const GeneratorOptions& options);

// "dd.mm.yyyy" of the day `offset` days after the given date.
std::string dateText(int year, int month, int day, int offset = 0);

}  // namespace mirvaly::reference
