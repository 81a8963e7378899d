// What the frame signal read and write blocks share: the signal ports' data types from AccessLevel and
// SignalsDTypes, the signal index list, and their record with the indexes as parameter settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/BlockHelpers.hpp"

namespace korlix::frame {

// What a frame signal block keeps between its set-up and its record.
struct Signals {
    bool coded = false;  // AccessLevel is exactly "Coded"; overwritten as it is read
    uint32_t count = 0;  // NumberOfSignals; overwritten as it is read
    // Replaced only once read and checked; a failed check keeps the previous list.
    std::vector<int32_t> dataTypes;
    std::vector<uint32_t> indexes;
};

// Gives the first signals.count ports of `side` their data types: double in the sizes-only mode or when the
// access is not coded, otherwise the types SignalsDTypes lists, which must be one per signal (the read
// block, Side::Read, and the write block word that message differently; numberOfSignals is the count's
// text). Answers false after a report.
bool setSignalDataTypes(HostBlock* S, ErrorBuffer& buffer, Side block, PortSide side,
                        const std::string& numberOfSignals, Signals& signals);

// Reads SignalsIndexes and stores the list; it is not checked against the count here, the record checks
// what it writes. Answers false after a report.
bool readIndexes(HostBlock* S, ErrorBuffer& buffer, Signals& signals);

// The record of the read block (Side::Read) or the write block (Side::Write), then the signal indexes as
// parameter settings: the read block writes them only after the host took the record text, the write block
// writes its two work-vector defines and the settings whatever the piece before answered.
void writeRecord(HostBlock* S, ErrorBuffer& buffer, Side block, const Signals& signals);

}  // namespace korlix::frame
