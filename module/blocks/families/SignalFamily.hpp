// What the signal read and write blocks share: the data type of the signal port, their closing set-up and
// their record.
#pragma once

#include <cstdint>

#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix::signal {

// Asks the host for the block's execution system (the code is kept in the object) and chooses the data
// type of the signal port: double under "host", "opalrt" and "kvd" while UseCoded is off (DataType is then
// not read and an error text of the query is ignored); otherwise the type DataType names. Reports through
// buffer and answers false when the query left an error, DataType is missing or names no supported type.
bool chooseDataType(HostBlock* S, BaseFcn& block, bool useCoded, ErrorBuffer& buffer, int32_t& id);

// The closing set-up of both: no states, one sample time, no work vectors, no nonsampled zero crossings, no
// modes, option word HB_OPTIONS_SIGNAL_BLOCK. The flag word and the parameter attributes stay as they are.
void closingSetup(HostBlock* S);

// The record of the read block (Side::Read) or the write block (Side::Write). The writer's answer is not
// examined: this record is either block's only entry.
void writeRecord(HostBlock* S, ErrorBuffer& buffer, Side side);

}  // namespace korlix::signal
