#include "PictureCache.h"

#include <algorithm>
#include <atomic>
#include <ctime>

#include <sys/stat.h>

#include "ImageCodecs.h"

namespace vantorel {

namespace {

std::int64_t Nanoseconds(const timespec &t) { return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

std::atomic<std::int64_t> GSettleNanoseconds{TPictureCache::kSettleNanoseconds};

} // namespace

bool TPictureCache::StampOf(const std::string &fileName, TFileStamp &stamp, bool &settled)
{
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0)
        return false;
    stamp = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
             static_cast<std::int64_t>(info.st_size), Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // A time in the future (another machine's clock) is no more settled than a recent one. The
    // change time counts too: a rewrite whose modification time was put back is recent all the same.
    const std::int64_t changed = std::max(stamp.ModifiedNanoseconds, stamp.ChangedNanoseconds);
    settled = Nanoseconds(now) - changed >= GSettleNanoseconds;
    return true;
}

std::shared_ptr<const TBitmap> TPictureCache::Read(const std::string &fileName)
{
    const std::lock_guard<std::mutex> lock(FLock);
    TFileStamp before;
    bool settled = false;
    const bool known = StampOf(fileName, before, settled);
    if (known && FPicture && fileName == FFileName && before == FStamp)
        return FPicture;

    // Let go first, so that two large pictures are never held at once.
    FPicture.reset();
    FFileName.clear();
    auto picture = std::make_shared<const TBitmap>(ReadPicture(fileName));
    // A file that changed while it was decoded may not match the stamp taken before.
    TFileStamp after;
    bool settledAfter = false;
    if (FEnabled && known && settled && StampOf(fileName, after, settledAfter) && after == before) {
        FFileName = fileName;
        FStamp = before;
        FPicture = picture;
    }
    return picture;
}

void TPictureCache::SetSettleTime(std::int64_t nanoseconds) { GSettleNanoseconds = nanoseconds; }

TPictureCache::TDecoded TPictureCache::Decode(const std::string &fileName)
{
    TDecoded decoded;
    decoded.FileName = fileName;
    const bool known = StampOf(fileName, decoded.Stamp, decoded.Settled);
    decoded.Picture = std::make_shared<const TBitmap>(ReadPicture(fileName));
    decoded.Settled = decoded.Settled && known;
    return decoded;
}

void TPictureCache::KeepCopy(const TDecoded &decoded, const std::string &copyName)
{
    // The copy was written just now, so it has not settled by its own time; it holds the decoded
    // bytes when the original, settled, kept its stamp from before the decode to after the copy.
    TFileStamp original, copy;
    bool settled = false, copySettled = false;
    if (!decoded.Picture || !decoded.Settled || !StampOf(decoded.FileName, original, settled) ||
        original != decoded.Stamp || !StampOf(copyName, copy, copySettled) || copy.Size != original.Size)
        return;
    const std::lock_guard<std::mutex> lock(FLock);
    if (!FEnabled)
        return;
    FFileName = copyName;
    FStamp = copy;
    FPicture = decoded.Picture;
}

void TPictureCache::SetEnabled(bool enabled)
{
    const std::lock_guard<std::mutex> lock(FLock);
    FEnabled = enabled;
    if (!enabled) {
        FPicture.reset();
        FFileName.clear();
    }
}

bool TPictureCache::Enabled() const
{
    const std::lock_guard<std::mutex> lock(FLock);
    return FEnabled;
}

void TPictureCache::Clear()
{
    const std::lock_guard<std::mutex> lock(FLock);
    FPicture.reset();
    FFileName.clear();
}

TPictureCache &PictureCache()
{
    static TPictureCache cache;
    return cache;
}

} // namespace vantorel
