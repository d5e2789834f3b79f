#pragma once
// Measurement and calculation types of a channel. Settings files store them by name; the names
// are identifiers, never translated.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

inline constexpr int MeasTypeCount = 24;
inline constexpr int CalcTypeCount = 19;

extern const std::array<std::string_view, MeasTypeCount> MeasTypeNames;
extern const std::array<std::string_view, CalcTypeCount> CalcTypeNames;

// Name of a type number; an empty text for a number outside the table.
std::string MeasTypeName(uint8_t no);
std::string CalcTypeName(uint8_t no);

// Number of the name that matches exactly (case-sensitive); an unknown name gives mtNeutral (1)
// or ctNone (0).
uint8_t MeasTypeFromName(std::string_view name);
uint8_t CalcTypeFromName(std::string_view name);

}  // namespace qv
