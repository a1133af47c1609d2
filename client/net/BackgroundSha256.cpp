#include "net/BackgroundSha256.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace net {

namespace {

// Input below this is hashed on the caller's thread: creating and joining a thread costs about
// 1.4 ms under Wine, as long as hashing some 300 KiB, and most files of a release are small.
constexpr uint64_t kInlineBytes = 512 * 1024;
constexpr size_t kChunkBytes = 1024 * 1024;

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

} // namespace

BackgroundSha256::~BackgroundSha256() {
    StopWorker(false);
}

void BackgroundSha256::Update(const void* data, size_t size) {
    if (!thread_ && !workerFailed_ && fed_ >= kInlineBytes) {
        StartWorker();
    }
    fed_ += size;
    if (!thread_) {
        hasher_.Update(data, size);
        return;
    }
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const size_t take = std::min(size, kChunkBytes - filled_);
        std::memcpy(filling_ + filled_, bytes, take);
        filled_ += take;
        bytes += take;
        size -= take;
        if (filled_ == kChunkBytes) {
            HandOver();
        }
    }
}

std::optional<Sha256Digest> BackgroundSha256::Finish() {
    StopWorker(true);
    return hasher_.Finish();
}

void BackgroundSha256::StartWorker() {
    // Without a worker the rest is hashed inline: slower, never wrong.
    workerFailed_ = true;
    chunks_.reset(new (std::nothrow) char[2 * kChunkBytes]);
    if (!chunks_) {
        return;
    }
    filling_ = chunks_.get();
    filled_ = 0;
    stopping_ = false;
    thread_.reset(::CreateThread(nullptr, 0, &BackgroundSha256::Loop, this, 0, nullptr));
    workerFailed_ = !thread_;
}

void BackgroundSha256::HandOver() {
    {
        ExclusiveLock hold(lock_);
        WaitForChunk();
        given_ = filling_;
        givenSize_ = filled_;
    }
    ::WakeConditionVariable(&chunkGiven_);
    filling_ = filling_ == chunks_.get() ? chunks_.get() + kChunkBytes : chunks_.get();
    filled_ = 0;
}

void BackgroundSha256::WaitForChunk() {
    // Short: the worker only hashes the chunk, which waits for nothing else.
    while (given_ != nullptr) {
        ::SleepConditionVariableSRW(&chunkHashed_, &lock_, INFINITE, 0);
    }
}

void BackgroundSha256::StopWorker(bool finishing) {
    if (!thread_) {
        return;
    }
    if (finishing && filled_ > 0) {
        HandOver();
    }
    {
        ExclusiveLock hold(lock_);
        WaitForChunk();
        stopping_ = true;
    }
    ::WakeConditionVariable(&chunkGiven_);
    // The worker has nothing in hand and returns as soon as it sees the stop.
    ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}

DWORD WINAPI BackgroundSha256::Loop(void* parameter) {
    auto& self = *static_cast<BackgroundSha256*>(parameter);
    for (;;) {
        const char* chunk = nullptr;
        size_t size = 0;
        {
            ExclusiveLock hold(self.lock_);
            // As long as the caller takes to fill the next chunk; it always gives one or the
            // stop.
            while (self.given_ == nullptr && !self.stopping_) {
                ::SleepConditionVariableSRW(&self.chunkGiven_, &self.lock_, INFINITE, 0);
            }
            if (self.given_ == nullptr) {
                return 0;
            }
            chunk = self.given_;
            size = self.givenSize_;
        }
        self.hasher_.Update(chunk, size);
        {
            ExclusiveLock hold(self.lock_);
            self.given_ = nullptr;
        }
        ::WakeConditionVariable(&self.chunkHashed_);
    }
}

} // namespace net
