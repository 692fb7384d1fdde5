// The source of the type library, in the interface definition language that MIDL and widl compile.
#pragma once

#include <kelvane/console.hpp>

namespace KelvaneConsole::component {

// The library, the enumeration, the dual interface _Console with its members in function-table order and
// the class Console, all from the member table. kelvane_console.idl holds this text.
String TypeLibrarySource();

}  // namespace KelvaneConsole::component
