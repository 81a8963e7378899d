// One factory per block class, each defined in the class's own source. The mask-type table is the only
// caller. A factory answers null while its class is not available, which rejects the mask type.
#pragma once

#include <memory>

#include "framework/BaseFcn.hpp"

namespace korlix {

std::unique_ptr<BaseFcn> makeConfig();
std::unique_ptr<BaseFcn> makeSigRead();
std::unique_ptr<BaseFcn> makeSigWrite();
std::unique_ptr<BaseFcn> makePOCStatus();
std::unique_ptr<BaseFcn> makeStartStopNetwork();
std::unique_ptr<BaseFcn> makeCommitFrame();
std::unique_ptr<BaseFcn> makeErrorInjection();
std::unique_ptr<BaseFcn> makeReadFrameSig();
std::unique_ptr<BaseFcn> makeWriteFrameSig();
std::unique_ptr<BaseFcn> makeReadCycleCount();
std::unique_ptr<BaseFcn> makeReadPdu();
std::unique_ptr<BaseFcn> makeWritePdu();
std::unique_ptr<BaseFcn> makePackPdu();
std::unique_ptr<BaseFcn> makeUnpackPdu();

}  // namespace korlix
