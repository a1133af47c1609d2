#include "session/PlanCheck.h"

#include "net/DownloadMessages.h"

#include <objbase.h>

#include <system_error>
#include <utility>

namespace session {

PlanCheck::PlanCheck(std::wstring manifestPath, std::optional<std::wstring> signaturePath,
                     manifest::BaseFolders folders, const manifest::InstallIndex& index,
                     HWND window, uint16_t tag)
    : manifestPath_(std::move(manifestPath)), signaturePath_(std::move(signaturePath)),
      folders_(std::move(folders)), index_(index), window_(window), tag_(tag) {}

PlanCheck::~PlanCheck() {
    cancel_ = true;
    // Waits at most for the entry being checked, or for the XML object's load of the document.
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PlanCheck::Start() {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        Run();
    }
}

void PlanCheck::Run() {
    // Nothing may escape a thread procedure: a failure leaves the plan empty, which the session
    // treats as an unreadable manifest, or before the signature's verdict the signature missing.
    try {
        if (SignedManifest()) {
            signature_ =
                CheckManifestSignatureFiles(manifestPath_, *signaturePath_, TrustedManifestKeys());
        }
        if (!SignedManifest() || signature_.Verdict == ManifestVerdict::Verified) {
            ReadPlan();
        }
    } catch (...) {
        plan_.reset();
    }
    if (!cancel_) {
        ::PostMessageW(window_, net::WM_DOWNLOAD_DONE, net::DoneWParam({tag_, 0, this}),
                       net::DoneLParam({tag_, 0, this}));
    }
}

void PlanCheck::ReadPlan() {
    // The XML document object is a COM object of this thread's own apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    plan_ = manifest::LoadManifest(manifestPath_, folders_);
    digestsMissing_ = plan_ && SignedManifest() && !manifest::EveryEntryHasSha256(*plan_);
    if (plan_ && !digestsMissing_) {
        allTargets_.reserve(plan_->size());
        for (const manifest::FileEntry& entry : *plan_) {
            allTargets_.push_back(entry.TargetPath);
        }
        manifest::KeepOutdated(*plan_, &index_, &cancel_);
        totalBytes_ = manifest::TotalLength(*plan_);
    }
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
}

} // namespace session
