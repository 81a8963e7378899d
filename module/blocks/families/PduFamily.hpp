// What the four PDU blocks share: the byte port's width from PduLength, and for the pack and unpack blocks
// their signal count, the per-signal lists they check and keep, and the record they both write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/BlockHelpers.hpp"

namespace korlix::pdu {

// Reads PduLength and turns it into the width of the byte port: the length itself, or 1 for 0. A failed
// lookup or conversion is reported through buffer. A length above the largest width a port can hold
// (2147483647) is reported as well rather than handed to the host as a wrapped negative width.
// Answers false after a report.
bool readByteWidth(HostBlock* S, ErrorBuffer& buffer, int32_t& width);

// The record of the read block (Side::Read) or the write block (Side::Write).
void writeReadWriteRecord(HostBlock* S, ErrorBuffer& buffer, Side side);

// What a pack or unpack block keeps between its set-up and its record. The count is the NumberOfSignals
// the host last accepted as a port count; each list is replaced only once it has passed its check, so
// after a set-up that stopped early a list may be shorter than the count.
struct SignalLists {
    uint32_t count = 0;
    std::vector<uint32_t> offsets;
    std::vector<int32_t> dataTypeIds;
    std::vector<uint32_t> byteOrders;
    std::vector<int8_t> byteSizes;
};

// The size set-up of a pack or unpack block from NumberOfSignals on (blockTitle "Pack PDU" or "Unpack PDU"
// names the block in the messages): the signal ports as a count the host may refuse (then it stops
// silently), their widths, and outside the sizes-only mode the per-signal data types, offsets, byte orders
// and byte sizes, each list stored once it passed its check. Answers true when the closing set-up is due.
bool setUpSignals(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, PortSide ports,
                  const std::string& pduLabel, SignalLists& lists);

// Empties the byte sizes and appends the size of each signal's data type; a pack block's inputs get
// direct feedthrough and the marked attribute bit as they go. A type without a byte size is reported and
// ends the walk. Answers false after a report.
bool rebuildByteSizes(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, PortSide ports,
                      const std::string& pduLabel, SignalLists& lists);

// The record both blocks write, then, after the record text was accepted, the parameter settings
// SignalsOffset, SignalsEndianess and SignalsDTypeSize with lists.count elements each.
void writeSignalRecord(HostBlock* S, ErrorBuffer& buffer, const SignalLists& lists);

}  // namespace korlix::pdu
