// What the objects of the DLL share with the module: the count that DllCanUnloadNow looks at, and the
// type library embedded in the DLL.
#pragma once

#include <windows.h>  // before the other Windows headers, which need it

#include <oaidl.h>

namespace KelvaneConsole::com {

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;

// The type information of _Console, from the type library in this module's resources.
HRESULT LoadConsoleTypeInfo(ITypeInfo** info) noexcept;

}  // namespace KelvaneConsole::com
