#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "XMLSource.h"

namespace vantorel {

inline constexpr const char *kOptionsFileName = "options.xml";

enum TProxySource : int { psIE = 0, psManual = 1, psNoProxy = 2 };
enum TSourceRetention : int { srAsk = 0, srRetain = 1, srDelete = 2 };
// The import and grab format options add 4 for asking.
enum TImageFileFormat : int { iffBMP = 0, iffJPG = 1, iffGIF = 2, iffPNG = 3 };
inline constexpr int kAskImageFileFormat = 4;

inline constexpr std::int32_t kWhite = 16777215;

// The 27 user options, named by their key in "options.xml". The options dialog keeps the
// program's one set; commands, and the threads they start, read them from here, never from the
// dialog's controls.
struct TOptionValues {
    std::string login;
    std::string password;
    int proxysource = psIE;
    std::string proxyhost;
    std::string proxyport;
    bool proxyauthentication = false;
    std::string proxylogin;
    std::string proxypassword;
    bool showlogochange = false;
    bool fillemptyarea = false;
    std::int32_t emptyareacolor = kWhite;
    std::int32_t jpegquality = 90;
    bool showjpegdialog = true;
    std::int32_t gifbitdepth = 8;
    bool showgifdialog = true;
    std::int32_t convertretainsource = srDelete;
    bool convertasktargetname = false;
    std::int32_t mirrorretainsource = srDelete;
    bool mirrorasktargetname = false;
    std::int32_t rotateretainsource = srDelete;
    bool rotateasktargetname = false;
    std::int32_t importedfileformat = iffJPG;
    bool importasktargetname = false;
    std::int32_t grabbedfileformat = iffJPG;
    bool grabasktargetname = false;
    bool enableaccesshint = true;
    bool checknewversion = true;

    bool operator==(const TOptionValues &) const = default;
};

// The keys in the order the file is written.
extern const std::array<const char *, 27> kOptionKeys;

enum class TOptionsReadResult {
    Absent,  // no file: nothing read, nothing to report
    Read,    // read
    Corrupt, // wrong root, unreadable or malformed: "Options file is corrupt."
};

// Applies "options.xml" over values, element by element in document order. After a failure the
// values applied before it stay.
TOptionsReadResult ReadOptionsFile(const std::string &path, TXMLSource &xml, TOptionValues &values);
// Writes all 27 values in their order; raises EXMLError when the file cannot be written. A new
// file is readable by its owner only.
void WriteOptionsFile(const std::string &path, TXMLSource &xml, const TOptionValues &values);

// The reading rules of single values.
bool ReadOptionBool(std::string_view text); // true exactly for "yes" in any case
int ReadProxySource(std::string_view text); // "manual" 1, "noproxy" 2, else 0
std::string WriteProxySource(int source);   // "ie", "manual", "noproxy"

// Splits a system proxy server text into host and port: an "http=" entry of a list is taken,
// a host without a port gets "3128".
void ParseProxyServer(std::string text, std::string &host, std::string &port);
// The system's proxy host and port, both empty when the system sets no proxy.
void ReadIEProxySettings(std::string &host, std::string &port);

} // namespace vantorel
