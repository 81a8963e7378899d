// SigRead: the signal read block ("KORLIXSignalRead"). One output carries a FlexRay signal; the EnableRSO
// switch adds a second, uint32 output. The run-time transfer lives in generated code that reads the record.
#pragma once

#include <cstdint>

#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

// Set-up steps the signal read and write blocks share.

// Asks the host for the block's execution system (the code lands in execSysCode) and chooses the data type
// of the signal port: double under "host", "opalrt" and "kvd" while UseCoded is off (DataType is then not
// read and an error text of the query is ignored); otherwise the type DataType names. Reports through
// buffer and answers false when the query left an error, DataType is missing or names no supported type.
bool chooseSignalDataType(HostBlock* S, int32_t& execSysCode, bool useCoded, ErrorBuffer& buffer,
                          int32_t& id);
// Closing set-up of both: no states, one sample time, no work vectors, size fields 20 and 22 zero, option
// word 0x80020. The flag word and the parameter attributes stay as they are.
void signalClosingSetup(HostBlock* S);

class SigRead : public BaseFcn {
  public:
    SigRead() = default;
    ~SigRead() override = default;

    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override;
    void initializeForHost(HostBlock* S) override;
    void start(HostBlock* S) override;
    void outputs(HostBlock* S, int32_t tid) override;
    void update(HostBlock* S, int32_t tid) override;
    void terminate(HostBlock* S) override;
    void writeQRXRecord(HostBlock* S) override;
};

}  // namespace korlix
