#include "XMLSource.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"

namespace vantorel {

namespace {

std::string SystemReason(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// Closes a descriptor on every way out.
struct FdGuard {
    int fd;
    ~FdGuard()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct TStringWriter : pugi::xml_writer {
    std::string Text;
    void write(const void *data, size_t size) override { Text.append(static_cast<const char *>(data), size); }
};

} // namespace

std::vector<TXMLNode> TXMLNode::ChildNodes() const
{
    std::vector<TXMLNode> children;
    for (pugi::xml_node child = FNode.first_child(); child; child = child.next_sibling())
        children.emplace_back(child);
    return children;
}

TXMLNode TXMLNode::AddChild(const char *name) { return TXMLNode(FNode.append_child(name)); }

void TXMLNode::SetAttribute(const char *name, const std::string &value)
{
    FNode.append_attribute(name).set_value(value.c_str());
}

void TXMLNode::SetAttribute(const char *name, std::int32_t value)
{
    FNode.append_attribute(name).set_value(std::to_string(value).c_str());
}

void TXMLSource::Open()
{
    FDocument.reset();
    FActive = false;
    if (FFileName.empty()) {
        FActive = true;
        return;
    }

    FdGuard in{::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        throw EXMLError(SystemReason("Cannot open", FFileName));
    struct stat st {};
    if (::fstat(in.fd, &st) != 0)
        throw EXMLError(SystemReason("Cannot read", FFileName));
    if (!S_ISREG(st.st_mode))
        throw EXMLError("Not a file: " + FFileName);
    if (static_cast<std::uint64_t>(st.st_size) > FMaxFileSize)
        throw EXMLError("File too large: " + FFileName);

    const auto size = static_cast<std::size_t>(st.st_size);
    void *buffer = pugi::get_memory_allocation_function()(size ? size : 1);
    if (!buffer)
        throw EXMLError("Out of memory reading " + FFileName);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(in.fd, static_cast<char *>(buffer) + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            pugi::get_memory_deallocation_function()(buffer);
            throw EXMLError(SystemReason("Cannot read", FFileName));
        }
        got += static_cast<std::size_t>(n);
    }
    // The document takes the buffer over, whatever the result.
    const pugi::xml_parse_result result =
        FDocument.load_buffer_inplace_own(buffer, size, pugi::parse_default | pugi::parse_fragment);
    if (!result)
        throw EXMLError(FFileName + ": " + result.description());
    if (!FDocument.document_element())
        throw EXMLError(FFileName + ": no document element");
    // Parsed as a fragment so that nothing beside the document element is dropped unseen: a
    // well-formed document has that one element and no text around it.
    int elements = 0;
    for (pugi::xml_node node = FDocument.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element)
            ++elements;
        else if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            throw EXMLError(FFileName + ": text outside the document element");
    }
    if (elements != 1)
        throw EXMLError(FFileName + ": more than one document element");
    FActive = true;
}

void TXMLSource::Close()
{
    FDocument.reset();
    FActive = false;
    FFileName.clear();
}

TXMLNode TXMLSource::CreateDocumentElement(const char *name)
{
    FDocument.remove_children();
    return TXMLNode(FDocument.append_child(name));
}

std::string TXMLSource::SaveToString() const
{
    TStringWriter writer;
    FDocument.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    return std::move(writer.Text);
}

void TXMLSource::SaveToFile(const std::string &path, mode_t newFileMode, TAtomicFile::TPermissions permissions) const
{
    try {
        WriteAtomically(path, SaveToString(), newFileMode, permissions);
    } catch (const std::system_error &e) {
        throw EXMLError("Cannot write " + path + ": " + e.code().message());
    }
}

} // namespace vantorel
