#include "client/game_input.h"

#include "client/game_controls.h"
#include "platform/plat_input.h"

void game_handle_input()
{
    LocalControls &c = local_controls;
    c.prev_buttons = c.buttons;
    readkeyboard();
    uint32_t buttons = 0;
    readmouse(&c.mouse_dx, &c.mouse_dy, &c.wheel, &buttons);
    c.buttons = (int32_t)buttons;
}
