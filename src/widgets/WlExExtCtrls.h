#pragma once
// The panel of the widgets' message layer (see WlExLayer.h). Win32; interface thread.
#include "ui/ExtCtrls.h"
#include "widgets/WlExLayer.h"

namespace kv {

class TWlExCustomPanel : public TWlExLayer<TCustomPanel> {
    KV_CLASS(TWlExCustomPanel)
public:
    explicit TWlExCustomPanel(TComponent* owner) : TWlExLayer<TCustomPanel>(owner) {}
};

} // namespace kv
