#include "Taboolex.h"

#include "BannedWordScan.h"

CDirtyString::CDirtyString() = default;

CDirtyString::~CDirtyString() = default;

CDirtyString& CDirtyString::operator=(const CDirtyString&) {
    return *this;
}

bool CDirtyString::IsTaboolex(const char* text) {
    return taboolex::IsTaboolexText(text);
}
