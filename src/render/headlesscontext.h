// An OpenGL compatibility context without any window or display server:
// EGL on Mesa's surfaceless platform. Draw into a framebuffer object.
//
// Threads: current on the thread that created it; use and destroy it there.
#pragma once

#include <memory>
#include <string>

class HeadlessContext {
  public:
    // Null with *error set (one sentence) when no OpenGL is available.
    static std::unique_ptr<HeadlessContext> create(std::string* error);
    ~HeadlessContext();
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    bool makeCurrent();
    void doneCurrent();

  private:
    HeadlessContext() = default;
    void* display_ = nullptr;
    void* context_ = nullptr;
};
