#pragma once
// The push button of the widgets' message layer (see WlExLayer.h). Win32; interface thread.
#include "ui/StdCtrls.h"
#include "widgets/WlExLayer.h"

namespace kv {

class TWlExButton : public TWlExLayer<TButton> {
    KV_CLASS(TWlExButton)
public:
    explicit TWlExButton(TComponent* owner) : TWlExLayer<TButton>(owner) {}
};

} // namespace kv
