#include "base/meas_types.h"

namespace qv {

const std::array<std::string_view, MeasTypeCount> MeasTypeNames = {
    "mtNone",     "mtNeutral",  "mtTempCels",  "mtTempFahr", "mtTempKelv", "mtRelHumid", "mtAirPrAbs",    "mtAirPrSL",
    "mtSoilTemC", "mtSoilHumi", "mtLeafWetn",  "mtGlRadiat", "mtWindSpd",  "mtWindDir",  "mtRainLqm",     "mtDayNight",
    "mtDewPtC",   "mtDewPtF",   "mtAbsHumGm3", "mtCO2ppm",   "mtBMoist",   "mtSpeedFpm", "mtMixRatioGkg", "mtRatioGrlb",
};

const std::array<std::string_view, CalcTypeCount> CalcTypeNames = {
    "ctNone",      "ctNeutral",  "ctRelHumid",  "ctPartPres",  "ctZivPres",  "ctDewPtC",   "ctDewPtF",
    "ctAbsHumGm3", "ctWetBulb",  "ctSpEnthalp", "ctMixingGkg", "ctZivDef",   "ctVolPorti", "ctAWValue",
    "ctWindSpVek", "ctWindCont", "ctEvHaude",   "ctEvPenman",  "ctMatHumid",
};

namespace {

template <size_t N>
std::string NameOf(const std::array<std::string_view, N>& names, uint8_t no) {
  // The setters accept any byte, so a number beyond the table must not read past it.
  return no < N ? std::string(names[no]) : std::string();
}

template <size_t N>
uint8_t NumberOf(const std::array<std::string_view, N>& names, std::string_view name, uint8_t unknown) {
  for (size_t i = 0; i < N; ++i)
    if (names[i] == name) return static_cast<uint8_t>(i);
  return unknown;
}

}  // namespace

std::string MeasTypeName(uint8_t no) { return NameOf(MeasTypeNames, no); }
std::string CalcTypeName(uint8_t no) { return NameOf(CalcTypeNames, no); }
uint8_t MeasTypeFromName(std::string_view name) { return NumberOf(MeasTypeNames, name, 1); }
uint8_t CalcTypeFromName(std::string_view name) { return NumberOf(CalcTypeNames, name, 0); }

}  // namespace qv
