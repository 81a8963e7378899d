// POCStatus: not built yet; its mask type is rejected until the class exists.
#include "blocks/BlockFactories.hpp"

namespace korlix {

std::unique_ptr<BaseFcn> makePOCStatus() { return nullptr; }

}  // namespace korlix
