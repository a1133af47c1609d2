#pragma once
// Checks a downloaded manifest's signature, reads the manifest and decides which of its files are
// out of date, on a thread of its own: a manifest of a hundred thousand entries takes long enough
// to hash, read and check that the window would stop painting if it were done between two of its
// messages. The end is reported like a download's: WM_DOWNLOAD_DONE with the manifest's tag and
// this object as the task.

#include "manifest/FileEntry.h"
#include "manifest/InstallIndex.h"
#include "manifest/ManifestSignature.h"
#include "manifest/UpdatePlan.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace session {

class PlanCheck {
public:
    // `index` must stay unchanged until the done message has arrived (the session installs
    // nothing before it has the plan).
    // With a signature file, the manifest is signed: nothing of it is read unless the signature
    // verifies, and it must give every entry a digest (checked against all entries, before the
    // current ones are dropped). Without one (a build that trusts no key) it is read as it is.
    PlanCheck(std::wstring manifestPath, std::optional<std::wstring> signaturePath,
              manifest::BaseFolders folders, const manifest::InstallIndex& index, HWND window,
              uint16_t tag);
    // Asks the check to stop between two entries and waits for it: a run closed meanwhile does
    // not wait for the rest of a long manifest.
    ~PlanCheck();
    PlanCheck(const PlanCheck&) = delete;
    PlanCheck& operator=(const PlanCheck&) = delete;

    // Checks beside the window, or here on the window's thread when no thread can be made (slow
    // but never silent); either way the done message is posted when the check is through.
    void Start();

    const std::wstring& ManifestPath() const { return manifestPath_; }
    const std::wstring& SignaturePath() const { return signaturePath_.value(); }
    // Valid once the done message has arrived: the signature's verdict (signed manifests only;
    // the manifest was read only when it is Verified).
    const ManifestCheck& Signature() const { return signature_; }
    // Valid once the done message has arrived: the out-of-date entries in manifest order, or
    // nothing when the manifest could not be read.
    std::optional<std::deque<manifest::FileEntry>>& Plan() { return plan_; }
    uint32_t TotalBytes() const { return totalBytes_; }
    // The local paths of all the manifest's entries, current ones included.
    const std::vector<std::wstring>& AllTargets() const { return allTargets_; }
    bool SignedManifest() const { return signaturePath_.has_value(); }
    // A signed manifest with an entry without a digest; nothing was checked then.
    bool DigestsMissing() const { return digestsMissing_; }

private:
    void Run();
    void ReadPlan();

    const std::wstring manifestPath_;
    const std::optional<std::wstring> signaturePath_;
    const manifest::BaseFolders folders_;
    const manifest::InstallIndex& index_;
    const HWND window_;
    const uint16_t tag_;
    // Written by the owner's thread, read by the check between entries.
    std::atomic<bool> cancel_{false};
    // Written by the check only, read by the owner only after the done message (which
    // PostMessageW orders after the writes) or after the join.
    // A check that could not be made (out of memory) leaves the default verdict, a missing
    // signature.
    ManifestCheck signature_;
    std::optional<std::deque<manifest::FileEntry>> plan_;
    uint32_t totalBytes_ = 0;
    std::vector<std::wstring> allTargets_;
    bool digestsMissing_ = false;
    std::thread thread_;
};

} // namespace session
