#include "text/char_table.h"

namespace zorvak {

namespace {

// How a run gives each of its units a partner.
enum PartnerRule : uint8_t {
  kDeltaPartner,  // partner = unit + value (0: the unit itself)
  kFixedPartner,  // partner = value for every unit of the run
};

// A stretch of consecutive units that share a class and a partner rule.
struct CharRun {
  uint16_t first;
  uint16_t last;
  uint16_t cls;
  PartnerRule rule;
  int32_t value;
};

constexpr CharRun kRuns[] = {
#include "text/char_table_generated.inc"
};

// Expands the runs into the flat table; units in no run stay 0 (unassigned).
constexpr std::array<uint32_t, 65536> expandRuns() {
  std::array<uint32_t, 65536> table{};
  for (const CharRun& run : kRuns) {
    for (uint32_t u = run.first; u <= run.last; ++u) {
      const uint32_t partner = run.rule == kFixedPartner
                                   ? static_cast<uint32_t>(run.value)
                                   : static_cast<uint32_t>(static_cast<int32_t>(u) + run.value);
      table[u] = (partner & 0xFFFF) << 16 | run.cls;
    }
  }
  return table;
}

}  // namespace

constinit const std::array<uint32_t, 65536> kCharTable = expandRuns();

uint16_t* lowerInPlace(uint16_t* s) {
  if (s == nullptr) return nullptr;
  for (uint16_t* p = s; *p != 0; ++p) {
    const uint32_t entry = kCharTable[*p];
    if ((entry & 0x0220) == 0x0220) *p = static_cast<uint16_t>(entry >> 16);
  }
  return s;
}

}  // namespace zorvak
