// PDU read block: the bytes of one received PDU on output 0, and up to two boolean status outputs.
#pragma once

#include <cstdint>
#include <string>

#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

class ReadPdu : public BaseFcn {
  public:
    ReadPdu() = default;
    ~ReadPdu() override = default;
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override;
    void initializeForHost(HostBlock* S) override;
    void start(HostBlock* S) override;
    void outputs(HostBlock* S, int32_t tid) override;
    void update(HostBlock* S, int32_t tid) override;
    void terminate(HostBlock* S) override;
    void writeQRXRecord(HostBlock* S) override;
};

namespace pdu {

// The two PduLabel texts that stand in when the dialog has no real PDU to offer; set-up then ends early
// without an error.
bool isPlaceholderLabel(const std::string& label);

// Reads PduLength and turns it into the width of the byte port: the length itself, or 1 for 0. A failed
// lookup or conversion is reported through buffer. A length above the largest width a port can hold
// (2147483647) is reported as well rather than handed to the host as a wrapped negative width.
// Answers false after a report.
bool readByteWidth(HostBlock* S, ErrorBuffer& buffer, int32_t& width);

}  // namespace pdu

}  // namespace korlix
