#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Bitmap.h"

namespace vantorel {

// The decoded picture of the file shown last. A change of the pane size, phone, logo size, fit or
// proportions rebuilds the image document; with the picture kept, the rebuild costs the view and
// the logo instead of decoding a photo again. One picture is kept at a time, known by its path and
// by the file's size, modification time and change time (and its identity on disk, which a
// replacement under the same name changes). A copy tool that keeps dates puts the modification time
// back after a rewrite of the same size; the change time no program can set.
class TPictureCache {
public:
    struct TFileStamp {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        std::int64_t Size = -1;
        std::int64_t ModifiedNanoseconds = 0;
        std::int64_t ChangedNanoseconds = 0;
        bool operator==(const TFileStamp &) const = default;
    };
    // A picture decoded from a file that is about to be copied, with the file's stamp before the
    // decode: the copy can take the picture over instead of being decoded again.
    struct TDecoded {
        std::shared_ptr<const TBitmap> Picture;
        std::string FileName;
        TFileStamp Stamp;
        bool Settled = false;
    };

    // A file changed within this long before it is read could change again with no visible change
    // of its modification time (file systems keep it to a clock tick, FAT to 2 s): its picture is
    // read but not kept.
    static constexpr std::int64_t kSettleNanoseconds = 2'000'000'000;
    // Tests that read a file they have just written shorten the time rather than wait it out;
    // the change time, which a test cannot set back, is recent there.
    static void SetSettleTime(std::int64_t nanoseconds);

    // The picture of the file, decoded with ReadPicture unless the kept picture is of the same,
    // unchanged file. Raises EImageError as ReadPicture does.
    std::shared_ptr<const TBitmap> Read(const std::string &fileName);

    // Decodes the file, whether or not its picture is kept, and notes its stamp. Raises EImageError
    // as ReadPicture does.
    static TDecoded Decode(const std::string &fileName);
    // Keeps decoded's picture as the picture of copyName, a copy just made of decoded's file, when
    // that file had settled and is still the one decoded: the copy then holds the decoded bytes.
    void KeepCopy(const TDecoded &decoded, const std::string &copyName);

    // Off, every read decodes and nothing is kept; turning it off lets go of the kept picture.
    void SetEnabled(bool enabled);
    bool Enabled() const;
    // Lets go of the kept picture.
    void Clear();

private:
    // The file's stamp, and whether it is settled enough to be kept; false when it cannot be read.
    static bool StampOf(const std::string &fileName, TFileStamp &stamp, bool &settled);

    mutable std::mutex FLock;
    bool FEnabled = true;
    std::string FFileName;
    TFileStamp FStamp;
    std::shared_ptr<const TBitmap> FPicture;
};

// The program's one cache, which the image document reads its picture through.
TPictureCache &PictureCache();

} // namespace vantorel
