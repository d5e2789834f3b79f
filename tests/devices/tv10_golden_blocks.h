#pragma once
// Configuration blocks of the three logger kinds, written from the block's layout by hand.
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_stream2.h"

namespace qv::test {

using Bytes = std::vector<uint8_t>;

// Golden blocks, written from the block's layout by hand.
// Kind 5: serial 1234, made 12/24, project 3, versions 2 3 4 1.2 2.1, "Cellar", slots "Air" and
// "Humid", id 42, sample 60 s, save 10 min, height 123.4 m, no preselection, board 0.
// Slot 1: °C sensor (-40..100), alarms at sample, storing mode 1, circular, alarm 0 to 30 °C,
// hysteresis 1.0, offset -0.5. Slot 2: % sensor (0..100), alarm 20 to 80 %, hysteresis 2.5,
// offset 1.5.
inline const Bytes kKind5 = {
    0xD2, 0x04, 0xC8, 0x04, 0x03, 0x00, 0x02, 0x03, 0x04, 0x12, 0x21,                    // 0..10
    'C',  'e',  'l',  'l',  'a',  'r',  0,    0,    0,    0,    0,    0,                 // 11 name
    'A',  'i',  'r',  0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 23 slot 1
    'H',  'u',  'm',  'i',  'd',  0,    0,    0,    0,    0,    0,    0,                 // 35 slot 2
    0x2A, 0x00, 0x01, 0x3C, 0x00, 0x00, 0x00, 0x0A, 0x00, 0xD2, 0x04,                    // 47..57
    0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00,                                      // 58..65
    0x01, 0x19, 0x20, 0x49, 0xF8, 0x7F, 0xD4, 0x01, 0x70, 0xFE, 0xE8, 0x03, 0xFB, 0xFF,  // 66 slot 1
    0x03, 0x09, 0x30, 0x33, 0xC0, 0xCC, 0x66, 0x06, 0x00, 0x00, 0xE8, 0x03, 0x0F, 0x00,  // 80 slot 2
};

// Kind 6: four slots on board 2 (°C, %, °C second sensor, °F second sensor), id 7, sample
// 10 s, save 1 min, height -12.5 m, preselected start 2030-05-06 07:08:09, storing mode 7 and
// not circular.
inline const Bytes kKind6 = {
    0x01, 0x00, 0x65, 0x00, 0x03, 0x00, 0x01, 0x01, 0x01, 0x10, 0x20,                    // 0..10
    'R',  'o',  'o',  'f',  't',  'o',  'p',  '-',  'N',  'o',  'r',  'd',               // 11 name, full
    'T',  '1',  0,    0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 23
    'H',  '1',  0,    0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 35
    'T',  '2',  0,    0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 47
    'F',  '2',  0,    0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 59
    0x07, 0x00, 0x05, 0x0A, 0x00, 0x00, 0x00, 0x01, 0x00, 0x83, 0xFF,                    // 71..81
    0x01, 0x1E, 0x05, 0x06, 0x07, 0x08, 0x09, 0x02,                                      // 82..89
    0x01, 0x17, 0x00, 0x00, 0xF0, 0xFF, 0x00, 0x00, 0x70, 0xFE, 0xE8, 0x03, 0x00, 0x00,  // 90
    0x03, 0x07, 0x00, 0x00, 0xF0, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00,  // 104
    0x81, 0x07, 0x00, 0x00, 0xF0, 0xFF, 0x00, 0x00, 0x70, 0xFE, 0xE8, 0x03, 0xC8, 0x00,  // 118
    0x82, 0x07, 0x00, 0x00, 0xF0, 0xFF, 0x00, 0x00, 0x70, 0xFE, 0x48, 0x08, 0x38, 0xFF,  // 132
};

// Kind 7: the interface kind keeps its slot names and alarm settings in the program, so a
// fresh module reads empty names and alarm limits 0 to 100 of its own.
inline const Bytes kKind7 = {
    0x05, 0x00, 0x66, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x11, 0x11,                    // 0..10
    'Z',  '9',  0,    0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 11
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 23
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,                 // 35
    0x09, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,                    // 47..57
    0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00,                                      // 58..65
    0x01, 0x11, 0x20, 0x49, 0xF0, 0xFF, 0x00, 0x00, 0x70, 0xFE, 0xE8, 0x03, 0x00, 0x00,  // 66
    0x03, 0x11, 0x00, 0x00, 0xF0, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00,  // 80
};

inline std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

inline void Fill(TMemoryStream2& s, const std::string& bytes) {
  s.Clear();
  s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  s.SetPosition(0);
}

// The handler collection as the modules see it: reads and writes a logger's block held here.

}  // namespace qv::test
