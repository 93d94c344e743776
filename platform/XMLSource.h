#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

#include <pugixml.hpp>

#include "AtomicFile.h"

namespace vantorel {

// A failure to open, parse or save an XML document.
class EXMLError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One node of the document: an element, or some other node (text, comment) to be skipped.
class TXMLNode {
public:
    TXMLNode() = default;
    explicit TXMLNode(pugi::xml_node node) : FNode(node) {}

    bool IsNull() const { return !FNode; }
    bool IsElement() const { return FNode.type() == pugi::node_element; }
    // The element's name as written; empty for other nodes.
    std::string NodeName() const { return IsElement() ? FNode.name() : std::string(); }
    // The child nodes in document order.
    std::vector<TXMLNode> ChildNodes() const;
    bool HasChildNodes() const { return static_cast<bool>(FNode.first_child()); }
    // An attribute's text by its exact name; empty when the attribute is missing.
    std::string GetAttribute(const char *name) const { return FNode.attribute(name).value(); }

    // Writing.
    TXMLNode AddChild(const char *name);
    void SetAttribute(const char *name, const std::string &value);
    void SetAttribute(const char *name, std::int32_t value);

private:
    pugi::xml_node FNode;
};

// The program's one XML document object: every XML file is read and written through it, one
// file at a time. Saving is atomic: a failed save leaves the previous file whole.
class TXMLSource {
public:
    static constexpr std::size_t kDefaultMaxFileSize = 64u << 20;

    void SetFileName(const std::string &fileName) { FFileName = fileName; }
    const std::string &FileName() const { return FFileName; }
    // Files larger than this are refused on opening, so a huge file cannot exhaust memory.
    void SetMaxFileSize(std::size_t bytes) { FMaxFileSize = bytes; }

    // Reads and parses the file named by FileName; raises EXMLError when the file cannot be
    // read, is too large, is not well-formed or has no document element. With an empty file
    // name, opens a new empty document instead.
    void Open();
    bool Active() const { return FActive; }
    // Closes the document and clears its file name.
    void Close();

    TXMLNode DocumentElement() const { return TXMLNode(FDocument.document_element()); }
    // Creates an element and makes it the document element of the (new, empty) document.
    TXMLNode CreateDocumentElement(const char *name);
    // The document as the file would hold it (UTF-8).
    std::string SaveToString() const;
    // Writes the document to a file, replacing it atomically, with the permissions TAtomicFile
    // gives it; raises EXMLError on failure.
    void SaveToFile(const std::string &path, mode_t newFileMode = 0644,
                    TAtomicFile::TPermissions permissions = TAtomicFile::TPermissions::KeepReplaced) const;

private:
    std::string FFileName;
    std::size_t FMaxFileSize = kDefaultMaxFileSize;
    pugi::xml_document FDocument;
    bool FActive = false;
};

// Opens the source on a file and closes it again on every way out of a reading routine.
class TXMLReadScope {
public:
    TXMLReadScope(TXMLSource &source, const std::string &fileName) : FSource(source)
    {
        FSource.SetFileName(fileName);
        try {
            FSource.Open();
        } catch (...) {
            // The destructor does not run for a constructor that throws.
            FSource.Close();
            throw;
        }
    }
    ~TXMLReadScope() { FSource.Close(); }
    TXMLReadScope(const TXMLReadScope &) = delete;
    TXMLReadScope &operator=(const TXMLReadScope &) = delete;

private:
    TXMLSource &FSource;
};

} // namespace vantorel
