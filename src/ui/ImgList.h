#pragma once
// Image lists: images of one size in a system image list, loaded from a bitmap resource of
// the executable (a strip of images, a mask colour marking the transparent pixels), drawn in
// an enabled or disabled look. Users hear of changes through OnChange subscriptions.
// Interface thread only.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Component.h"
#include "ui/Graphics.h"

namespace kv {

class TCustomImageList : public TComponent {
    KV_CLASS(TCustomImageList)
public:
    explicit TCustomImageList(TComponent* owner);
    ~TCustomImageList() override;

    int Width() const { return width_; }
    void SetWidth(int v);
    int Height() const { return height_; }
    void SetHeight(int v);
    int Count() const;
    // The system image list (created on first use).
    HIMAGELIST Handle();

    // Adds the images of a bitmap resource (a strip of Width-wide images); pixels of the
    // mask colour are transparent. Raises kv::Exception when the resource is missing.
    void AddResourceBitmap(const std::u16string& name, TColor maskColor);
    // Adds an icon resource of the executable.
    void AddResourceIcon(const std::u16string& name);
    void Clear();
    // Draws image index at (x, y); a disabled look when enabled is false.
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true);
    void Draw(HDC dc, int x, int y, int index, bool enabled = true);

    // Change subscribers (buttons and tool bars repaint); returns an id for Unsubscribe.
    int Subscribe(std::function<void()> onChange);
    void Unsubscribe(int id);
    void Loaded() override;

private:
    void Changed();
    void Recreate();
    int width_ = 16, height_ = 16;
    HIMAGELIST handle_ = nullptr;
    std::vector<std::pair<std::u16string, TColor>> resources_; // reloaded on resize
    std::vector<std::pair<int, std::function<void()>>> subscribers_;
    int nextId_ = 1;
};

class TImageList : public TCustomImageList {
    KV_CLASS(TImageList)
public:
    explicit TImageList(TComponent* owner) : TCustomImageList(owner) {}
};

} // namespace kv
