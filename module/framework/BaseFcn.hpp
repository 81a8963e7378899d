// The base of every block class, the mask-type table with its factory functions, and the registry of live
// block objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/HostInterface.hpp"
#include "services/Workspace.hpp"

namespace korlix {

// One object per block instance, created from the block's mask type at its first size initialisation and
// kept in the registry until its handle goes stale or the module is unloaded. Every class overrides all
// eight operations; update and terminate are never called by the entry.
class BaseFcn {
  public:
    virtual ~BaseFcn() = default;
    virtual void initializeSizes(HostBlock* S) = 0;
    virtual void initializeSampleTimes(HostBlock* S) = 0;
    virtual void initializeForHost(HostBlock* S) = 0;
    virtual void start(HostBlock* S) = 0;
    virtual void outputs(HostBlock* S, int32_t tid) = 0;
    virtual void update(HostBlock* S, int32_t tid) = 0;
    virtual void terminate(HostBlock* S) = 0;
    virtual void writeQRXRecord(HostBlock* S) = 0;

    int32_t execSysCode() const { return execSys_; }
    void setExecSysCode(int32_t code) { execSys_ = code; }

  protected:
    BaseFcn() = default;

  private:
    int32_t execSys_ = kExecNone;
};

// The two sample-time forms every class uses.
// Parameter form: the first double of S-function parameter 1; -1.0 gives (-1.0, 1.0) and marks the sample
// time inherited in the flag word, any other value (Ts, 0.0) with the flag word untouched.
void sampleTimeFromParameter(HostBlock* S);
// Inherited form: always (-1.0, 0.0), marked inherited in the flag word.
void sampleTimeInherited(HostBlock* S);

// ---- block classes ----
// One factory per class, each defined in the class's own source; the mask-type table is the only caller.
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

// ---- mask types ----
inline constexpr int kUnknownMaskType = 255;
// Index of the mask type text in the table (exact, case-sensitive), 255 for any other text.
int maskTypeIndex(const std::string& maskType);
// A new object for the mask type text, or null when it has no class (recognised-but-rejected or unknown).
std::unique_ptr<BaseFcn> makeBlockForMaskType(const std::string& maskType);

// ---- registry ----
namespace registry {
BaseFcn* find(double handle);
// Inserts under a handle that is not a key yet; an existing entry is kept (and obj destroyed).
BaseFcn* insert(double handle, std::unique_ptr<BaseFcn> obj);
std::vector<double> handles();  // ascending
void remove(double handle);     // destroys the object, erases the key
void destroyAll();
}  // namespace registry

// Destroys and unregisters every block whose handle the host no longer reports as valid: the registry is
// walked in ascending handle order first, and the stale blocks are removed only after the walk.
void removeStaleBlocks();

// Creates and registers the object for a block the registry does not know yet, from the mask type the host
// workspace reports; sets "Invalid KORLIX MaskType found" and creates nothing for a rejected type.
BaseFcn* createBlock(double handle, HostBlock* S);

}  // namespace korlix
