#pragma once
// A panel of the widgets with a content-painting hook: after the panel paints itself,
// PaintContent gets the client rectangle (and fires OnPaintContent). Reads the older stored
// properties Ctl3D and ParentCtl3D. Win32; interface thread.
#include <functional>

#include "widgets/WlExExtCtrls.h"

namespace kv {

using TWlPaintContentEvent = std::function<void(TObject* sender, TCanvas& canvas, const RECT& r)>;

class TWlCustomPanel : public TWlExCustomPanel {
    KV_CLASS(TWlCustomPanel)
public:
    explicit TWlCustomPanel(TComponent* owner) : TWlExCustomPanel(owner) {}

    TWlPaintContentEvent OnPaintContent;
    // Stored by older forms only; read, applied, never written.
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool v) { ctl3D_ = v; }
    bool ParentCtl3D() const { return parentCtl3D_; }
    void SetParentCtl3D(bool v) { parentCtl3D_ = v; }

protected:
    // The panel, then PaintContent over the client rectangle.
    void Paint() override;
    virtual void PaintContent(const RECT& r);

private:
    bool ctl3D_ = true;
    bool parentCtl3D_ = true;
};

} // namespace kv
