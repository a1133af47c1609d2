#include "manifest/ManifestReader.h"

#include "platform/ComPtr.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <msxml.h>

namespace manifest {

uint32_t ParseDecimal(std::wstring_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r'))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
        negative = text[at] == L'-';
        ++at;
    }
    // Unsigned arithmetic wraps by definition; the manifest's date words use all 32 bits.
    uint32_t value = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
        value = value * 10u + static_cast<uint32_t>(text[at] - L'0');
        ++at;
    }
    return negative ? 0u - value : value;
}

bool ParseFlag(std::wstring_view text) {
    return EqualsNoCase(text, L"YES");
}

bool ApplyManifestValue(FileEntry& entry, std::wstring_view key, std::wstring_view value) {
    struct TextKey {
        const wchar_t* key;
        std::wstring FileEntry::*field;
    };
    static const TextKey textKeys[] = {
        {L"FileName", &FileEntry::FileName},     {L"FileVersion", &FileEntry::FileVersion},
        {L"InstallDir", &FileEntry::InstallDir}, {L"ExecutePar", &FileEntry::ExecutePar},
        {L"LocalPath", &FileEntry::LocalPath},   {L"URL", &FileEntry::URL},
    };
    struct FlagKey {
        const wchar_t* key;
        bool FileEntry::*field;
    };
    static const FlagKey flagKeys[] = {
        {L"Register", &FileEntry::Register},
        {L"Execute", &FileEntry::Execute},
    };
    static const wchar_t* const ignoredKeys[] = {L"ProductVersion", L"ZipFile", L"ForceOverwrite",
                                                 L"UserName", L"Password"};

    for (const TextKey& k : textKeys) {
        if (EqualsNoCase(key, k.key)) {
            (entry.*k.field).assign(value);
            return true;
        }
    }
    for (const FlagKey& k : flagKeys) {
        if (EqualsNoCase(key, k.key)) {
            entry.*k.field = ParseFlag(value);
            return true;
        }
    }
    for (const wchar_t* ignored : ignoredKeys) {
        if (EqualsNoCase(key, ignored)) {
            return true;
        }
    }
    if (EqualsNoCase(key, L"Length")) {
        // A 32-bit value widened with its sign: consumers use only the low 32 bits.
        entry.Length = static_cast<int32_t>(ParseDecimal(value));
        return true;
    }
    if (EqualsNoCase(key, L"Sha256")) {
        // Anything but 64 lower-case hex digits is no digest at all, never part of one.
        entry.Sha256 = ParseSha256(value);
        return true;
    }
    if (EqualsNoCase(key, L"FileDateLow")) {
        entry.FileTime.dwLowDateTime = ParseDecimal(value);
        return true;
    }
    if (EqualsNoCase(key, L"FileDateHigh")) {
        entry.FileTime.dwHighDateTime = ParseDecimal(value);
        return true;
    }
    return false;
}

namespace {

// The XML 3.0 document's setProperty, reached through its dispatch interface: mingw's headers
// do not link IXMLDOMDocument2. False when the document does not know the property.
bool SetDocumentProperty(IXMLDOMDocument* document, const wchar_t* name, VARIANT_BOOL value) {
    OLECHAR* method = const_cast<OLECHAR*>(L"setProperty");
    DISPID id = 0;
    if (FAILED(document->GetIDsOfNames(IID_NULL, &method, 1, LOCALE_USER_DEFAULT, &id))) {
        return false;
    }
    UniqueVariant nameArgument;
    V_VT(&nameArgument.get()) = VT_BSTR;
    V_BSTR(&nameArgument.get()) = ::SysAllocString(name);
    if (!V_BSTR(&nameArgument.get())) {
        return false;
    }
    // Dispatch arguments go in reverse order: the value first, then the name.
    VARIANT arguments[2];
    ::VariantInit(&arguments[0]);
    V_VT(&arguments[0]) = VT_BOOL;
    V_BOOL(&arguments[0]) = value;
    arguments[1] = nameArgument.get();
    DISPPARAMS parameters{arguments, nullptr, 2, 0};
    return SUCCEEDED(document->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                      &parameters, nullptr, nullptr, nullptr));
}

// A manifest comes from the network: it must not make the reader open local files or fetch
// other addresses. The XML 3.0 object on Windows resolves external entities and DTDs by
// default, so both are switched off before anything is loaded; a document that has no
// ProhibitDTD property (older releases) still gets the other two switches.
bool RefuseExternalContent(IXMLDOMDocument* document) {
    if (FAILED(document->put_resolveExternals(VARIANT_FALSE)) ||
        FAILED(document->put_validateOnParse(VARIANT_FALSE))) {
        return false;
    }
    SetDocumentProperty(document, L"ProhibitDTD", VARIANT_TRUE);
    return true;
}

std::wstring TextOf(const UniqueBstr& text) {
    return std::wstring(text.c_str(), text.length());
}

// Fills `entry` from the direct child elements of `file`; the last occurrence of a key wins.
void ReadChildren(IXMLDOMNode* file, FileEntry& entry) {
    ComPtr<IXMLDOMNode> child;
    if (FAILED(file->get_firstChild(child.put()))) {
        return;
    }
    while (child) {
        // Only elements carry values: a processing instruction's name is its target, which could
        // otherwise pass for a key.
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT) {
            UniqueBstr name;
            UniqueBstr text;
            if (SUCCEEDED(child->get_nodeName(name.put())) &&
                SUCCEEDED(child->get_text(text.put()))) {
                ApplyManifestValue(entry, TextOf(name), TextOf(text));
            }
        }
        ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.put()))) {
            break;
        }
        child = std::move(next);
    }
}

bool WalkFileElements(IXMLDOMNodeList* files, const ManifestEntrySink& sink) {
    long length = 0;
    if (FAILED(files->get_length(&length))) {
        return false;
    }
    for (long i = 0; i < length; ++i) {
        ComPtr<IXMLDOMNode> file;
        if (FAILED(files->get_item(i, file.put())) || !file) {
            continue;
        }
        FileEntry entry;
        ReadChildren(file.get(), entry);
        sink(std::move(entry));
    }
    return true;
}

// The whole file as a byte array for the document's load. Given a path, the document reads the
// file through the URL machinery, which under Wine collects it in a buffer grown piece by piece:
// the time grew faster than the size, and the copying held up the window's thread too. The bytes
// are parsed as from the file, their encoding declaration included.
bool ReadFileBytes(const std::wstring& path, VARIANT& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) ||
        static_cast<uint64_t>(size.QuadPart) > kMaxManifestSize) {
        return false;
    }
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size.QuadPart));
    if (!array) {
        return false;
    }
    V_VT(&bytes) = VT_ARRAY | VT_UI1;
    V_ARRAY(&bytes) = array;
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array, &data))) {
        return false;
    }
    DWORD read = 0;
    const bool whole =
        ::ReadFile(file.get(), data, static_cast<DWORD>(size.QuadPart), &read, nullptr) &&
        read == size.QuadPart;
    ::SafeArrayUnaccessData(array);
    return whole;
}

} // namespace

bool ReadManifest(const std::wstring& path, const ManifestEntrySink& sink) {
    UniqueBstr tagName(L"File");
    // The variant owns the file's bytes from here on, so they are freed on every way out.
    UniqueVariant source;
    if (!tagName.get() || !ReadFileBytes(path, source.get())) {
        return false;
    }

    ComPtr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IXMLDOMDocument, document.put_void())) ||
        !document) {
        return false;
    }
    if (FAILED(document->put_async(VARIANT_FALSE)) || !RefuseExternalContent(document.get())) {
        return false;
    }
    // A missing file or malformed XML is reported through the flag with S_FALSE, not a failure.
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(source.get(), &loaded)) || loaded != VARIANT_TRUE) {
        return false;
    }

    ComPtr<IXMLDOMElement> root;
    if (FAILED(document->get_documentElement(root.put())) || !root) {
        return false;
    }
    // Searched from the root element, so the root itself never counts even when named File.
    ComPtr<IXMLDOMNodeList> files;
    if (FAILED(root->getElementsByTagName(tagName.get(), files.put())) || !files) {
        return false;
    }
    return WalkFileElements(files.get(), sink);
}

} // namespace manifest
