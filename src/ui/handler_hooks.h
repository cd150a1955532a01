// Where the window's event handlers are bound. Each handler file offers an
// Install...(ProgramContext&) routine; InstallHandlers calls them all once the
// window exists.
#pragma once

namespace kelvaro {

struct ProgramContext;

void InstallHandlers(ProgramContext& context);

}  // namespace kelvaro
