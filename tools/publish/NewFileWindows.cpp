#include "publish/AtomicFile.h"

#include <windows.h>

#include <sddl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace publish {

namespace {

std::string ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string ascii;
    for (DWORD i = 0; i < length; ++i) {
        if (text[i] >= 0x20 && text[i] < 0x7F)
            ascii.push_back(static_cast<char>(text[i]));
    }
    if (text)
        ::LocalFree(text);
    while (!ascii.empty() && (ascii.back() == ' ' || ascii.back() == '.'))
        ascii.pop_back();
    char number[32];
    std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(error));
    return ascii.empty() ? number : ascii + " (" + number + ")";
}

// A protected access list with one entry: full access for the user running the tool. (The
// "owner rights" SID would be shorter, but Wine maps it to no Unix permission at all.)
std::wstring OwnerOnlyDescriptor() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    wchar_t* sid = nullptr;
    if (size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        std::wstring descriptor = std::wstring(L"D:P(A;;FA;;;") + sid + L")";
        ::LocalFree(sid);
        ::CloseHandle(token);
        return descriptor;
    }
    ::CloseHandle(token);
    return {};
}

} // namespace

bool CreateNewFile(const std::filesystem::path& path, std::string_view bytes, bool ownerOnly,
                   std::string& why) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ownerOnly) {
        const std::wstring text = OwnerOnlyDescriptor();
        if (text.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                text.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
            why = ErrorText(::GetLastError());
            return false;
        }
        attributes.lpSecurityDescriptor = descriptor;
    }
    // CREATE_NEW: never into a file someone else has just made.
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD openError = ::GetLastError();
    if (descriptor)
        ::LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE) {
        why = ErrorText(openError);
        return false;
    }
    DWORD failure = 0;
    const char* at = bytes.data();
    size_t left = bytes.size();
    while (left > 0 && failure == 0) {
        const DWORD piece = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!::WriteFile(file, at, piece, &written, nullptr))
            failure = ::GetLastError();
        at += written;
        left -= written;
    }
    // On the disk before it replaces anything: a crash must not leave an empty manifest.
    if (failure == 0 && !::FlushFileBuffers(file))
        failure = ::GetLastError();
    ::CloseHandle(file);
    if (failure != 0) {
        ::DeleteFileW(path.c_str());
        why = ErrorText(failure);
        return false;
    }
    return true;
}

} // namespace publish
