// The two sample-time forms, the mask-type table with its factory, and the registry of live block objects.
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/BaseFcn.hpp"
#include "quonix/zv.h"
#include "services/Workspace.hpp"

namespace korlix {

namespace {

void declareInherited(HostBlock* S, double offset) {
    setSampleTime(S, -1.0, offset);
    changeFlags(S, HB_FLAG_FIXED_SAMPLE_TIME, HB_FLAG_INHERITED_SAMPLE_TIME);
}

}  // namespace

void sampleTimeFromParameter(HostBlock* S) {
    // A missing sample-time parameter reads as 0.0, the same answer the host gives for an empty array.
    const zvArray* param = getSFcnParam(S, 1);
    const double ts = param != nullptr ? zvGetScalar(param) : 0.0;
    if (ts == -1.0) {
        declareInherited(S, 1.0);
    } else {
        setSampleTime(S, ts, 0.0);
    }
}

void sampleTimeInherited(HostBlock* S) {
    declareInherited(S, 0.0);
}

// ---------------------------------------------------------------------------------------------------------
// Mask types. The one place that knows every class: a row per recognised text, in lookup order. A row
// without a factory is recognised but has no class, and is refused like an unknown text.

namespace {

using Factory = std::unique_ptr<BaseFcn> (*)();

struct MaskTypeRow {
    const char* text;
    int index;
    Factory factory;
};

const MaskTypeRow kMaskTypes[] = {
    {"KORLIXConfig", 0, &makeConfig},
    {"KORLIXSignalRead", 1, &makeSigRead},
    {"KORLIXSignalWrite", 2, &makeSigWrite},
    {"KORLIXPOCStatus", 3, &makePOCStatus},
    {"KORLIXStartStopNetwork", 4, &makeStartStopNetwork},
    {"KORLIXCommitFrame", 5, &makeCommitFrame},
    {"KORLIXConsistencyReport", 6, nullptr},
    {"KORLIXModelUpdate", 7, nullptr},
    {"ErrorInjection", 11, &makeErrorInjection},
    {"ReadFrameSignals", 12, &makeReadFrameSig},
    {"WriteFrameSignals", 13, &makeWriteFrameSig},
    {"ReadCycleCount", 14, &makeReadCycleCount},
    {"FlexRayReadPDU", 15, &makeReadPdu},
    {"FlexRayWritePDU", 16, &makeWritePdu},
    {"FlexRayPackPDU", 17, &makePackPdu},
    {"FlexRayUnpackPDU", 18, &makeUnpackPdu},
    {"KORLIXWQMConfig", 20, nullptr},
    {"KORLIXWQMTunnelRead", 21, nullptr},
    {"KORLIXWQMTunnelWrite", 22, nullptr},
    {"KORLIXWQMInstRead", 23, nullptr},
    {"KORLIXWQMInstWrite", 24, nullptr},
    {"KORLIXStatusCompare", 25, nullptr},
    {"KORLIXCDUIndexCompare", 26, nullptr},
    {"KORLIXFrTime", 27, nullptr},
    {"KORLIXWQMSignalManipFcnCall", 28, nullptr},
    {"KORLIXWQMBuild", 29, nullptr},
    {"KORLIXWQMCleanup", 30, nullptr},
    {"KORLIXWQMDescription", 31, nullptr},
    {"KORLIXNMWQM", 32, nullptr},
    {"KORLIXNMRequestComm", 33, nullptr},
};

const MaskTypeRow* findMaskType(const std::string& maskType) {
    for (const MaskTypeRow& row : kMaskTypes) {
        if (maskType == row.text) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

int maskTypeIndex(const std::string& maskType) {
    const MaskTypeRow* row = findMaskType(maskType);
    return row != nullptr ? row->index : kUnknownMaskType;
}

std::unique_ptr<BaseFcn> makeBlockForMaskType(const std::string& maskType) {
    const MaskTypeRow* row = findMaskType(maskType);
    if (row == nullptr || row->factory == nullptr) {
        return nullptr;
    }
    return row->factory();
}

// ---------------------------------------------------------------------------------------------------------
// The registry. It lives from module load to module unload; its destructor runs when the host unloads the
// module and destroys every object still registered.

namespace {

class Registry {
  public:
    Registry() = default;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    ~Registry() { destroyAll(); }

    BaseFcn* find(double handle) const {
        const auto it = position(handle);
        return it != entries_.end() && it->handle == handle ? it->object.get() : nullptr;
    }

    // The object under handle: the new one, or the one already there.
    BaseFcn* insert(double handle, std::unique_ptr<BaseFcn> obj) {
        auto it = position(handle);
        if (it != entries_.end() && it->handle == handle) {
            if (it->object == nullptr) {
                it->object = std::move(obj);  // a key left by destroyAll while it runs
            }
            return it->object.get();
        }
        return entries_.insert(it, Entry{handle, std::move(obj)})->object.get();
    }

    std::vector<double> handles() const {
        std::vector<double> keys;
        keys.reserve(entries_.size());
        for (const Entry& entry : entries_) {
            if (entry.object != nullptr) {
                keys.push_back(entry.handle);
            }
        }
        return keys;
    }

    void remove(double handle) {
        auto it = position(handle);
        if (it == entries_.end() || it->handle != handle || it->object == nullptr) {
            return;
        }
        // The object is destroyed while its key is still registered; the key goes after that.
        it->object.reset();
        it = position(handle);
        if (it != entries_.end() && it->handle == handle && it->object == nullptr) {
            entries_.erase(it);
        }
    }

    // Destroys the objects in ascending handle order. A destroyed object's key stays without an object (which
    // no lookup reports) until all are destroyed, so that the vector is not shifted once per object.
    void destroyAll() {
        for (double key : handles()) {
            auto it = position(key);
            if (it != entries_.end() && it->handle == key) {
                it->object.reset();
            }
        }
        std::erase_if(entries_, [](const Entry& entry) { return entry.object == nullptr; });
    }

  private:
    // Entries in ascending handle order, in one block of memory: the stale-handle sweep reads every handle
    // at every size initialisation, and a tree of separately allocated nodes makes that walk miss the cache
    // once per block.
    struct Entry {
        double handle;
        std::unique_ptr<BaseFcn> object;
    };

    std::vector<Entry>::iterator position(double handle) {
        return std::lower_bound(entries_.begin(), entries_.end(), handle,
                                [](const Entry& entry, double key) { return entry.handle < key; });
    }
    std::vector<Entry>::const_iterator position(double handle) const {
        return const_cast<Registry*>(this)->position(handle);
    }

    std::vector<Entry> entries_;
};

Registry gRegistry;

}  // namespace

namespace registry {

BaseFcn* find(double handle) {
    return gRegistry.find(handle);
}

BaseFcn* insert(double handle, std::unique_ptr<BaseFcn> obj) {
    // Null is not stored, so that every key holds an object; the existing entry (if any) is answered.
    if (obj == nullptr) {
        return find(handle);
    }
    return gRegistry.insert(handle, std::move(obj));
}

std::vector<double> handles() {
    return gRegistry.handles();
}

void remove(double handle) {
    gRegistry.remove(handle);
}

void destroyAll() {
    gRegistry.destroyAll();
}

}  // namespace registry

void removeStaleBlocks() {
    std::vector<double> stale;
    for (double handle : registry::handles()) {
        if (!isBlockHandleValid(handle)) {
            stale.push_back(handle);
        }
    }
    for (double handle : stale) {
        registry::remove(handle);
    }
}

BaseFcn* createBlock(double handle, HostBlock* S) {
    std::unique_ptr<BaseFcn> obj = makeBlockForMaskType(queryBlockMaskType(handle));
    if (obj == nullptr) {
        setErrorStatus(S, "Invalid KORLIX MaskType found");
        return nullptr;
    }
    return registry::insert(handle, std::move(obj));
}

}  // namespace korlix
