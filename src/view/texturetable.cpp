// Texture name bookkeeping.
#include "texturetable.h"

TextureTable::TextureTable() {
    for (int i = 0; i < kSize; ++i) names_[i] = static_cast<unsigned>(i + 1);
    take();  // slot 0: the name meaning "no texture of its own"
}

void TextureTable::setNames(const std::array<unsigned, kSize>& names) {
    std::lock_guard<std::mutex> g(mutex_);
    names_ = names;
}

int TextureTable::take() {
    std::lock_guard<std::mutex> g(mutex_);
    for (int i = 0; i < kSize; ++i)
        if (!inUse_[i]) {
            inUse_[i] = true;
            ++used_;
            return static_cast<int>(names_[i]);
        }
    return -1;
}

void TextureTable::giveBack(int name) {
    std::lock_guard<std::mutex> g(mutex_);
    for (int i = 1; i < kSize; ++i)
        if (static_cast<int>(names_[i]) == name && inUse_[i]) {
            inUse_[i] = false;
            --used_;
            return;
        }
}

int TextureTable::used() const {
    std::lock_guard<std::mutex> g(mutex_);
    return used_;
}

int TextureTable::reservedName() const {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int>(names_[0]);
}

bool TextureTable::inUse(int name) const {
    std::lock_guard<std::mutex> g(mutex_);
    for (int i = 0; i < kSize; ++i)
        if (static_cast<int>(names_[i]) == name) return inUse_[i];
    return false;
}

std::array<unsigned, TextureTable::kSize> TextureTable::names() const {
    std::lock_guard<std::mutex> g(mutex_);
    return names_;
}
