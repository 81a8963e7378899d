// PDU pack block: one scalar signal per input, the PDU's bytes on output 0. Also the pieces the pack and
// unpack blocks share: their stored per-signal lists, the checks of the per-signal dialog texts and the
// record with its parameter settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace pdu {

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

// Which side of the block carries one port per signal.
enum class SignalPorts { Inputs, Outputs };

// Reads and converts NumberOfSignals. Answers false after a report. The caller hands the count to the host
// through signalPortCount, so a count no port range holds is refused by the host like any other.
bool readSignalCount(HostBlock* S, ErrorBuffer& buffer, uint32_t& count);

// Reads and checks SignalsDTypes, SignalsOffsets and SignalsEndianess against lists.count, stores each
// list once it passed, gives every signal port its data type, then rebuilds the byte sizes. blockTitle
// ("Pack PDU" or "Unpack PDU") names the block in the messages. Answers false after a report.
bool readSignalLists(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, SignalPorts ports,
                     const std::string& pduLabel, SignalLists& lists);

// Empties the byte sizes and appends the size of each signal's data type; a pack block's inputs get
// direct feedthrough and attribute bit 0x20 as they go. A type without a byte size is reported and ends
// the walk. Answers false after a report.
bool rebuildByteSizes(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, SignalPorts ports,
                      const std::string& pduLabel, SignalLists& lists);

// The record both blocks write, then, after the record text was accepted, the parameter settings
// SignalsOffset, SignalsEndianess and SignalsDTypeSize with lists.count elements each.
void writeRecord(HostBlock* S, ErrorBuffer& buffer, const SignalLists& lists);

}  // namespace pdu

class PackPdu : public BaseFcn {
  public:
    PackPdu() = default;
    ~PackPdu() override = default;
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override;
    void initializeForHost(HostBlock* S) override;
    void start(HostBlock* S) override;
    void outputs(HostBlock* S, int32_t tid) override;
    void update(HostBlock* S, int32_t tid) override;
    void terminate(HostBlock* S) override;
    void writeQRXRecord(HostBlock* S) override;

  private:
    pdu::SignalLists lists_;
};

}  // namespace korlix
