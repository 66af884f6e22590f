#pragma once

class frmBrowse;

// Lets the browser react to the mouse wheel: an event filter on the hooked form and every widget
// in it takes each wheel event (so no scroll bar or other control scrolls by itself), sums its
// deltas and calls the form's EventMouseScroll(+1) per notch towards the user and (-1) per notch
// away. With Shift, Ctrl or Alt, or a mouse button held, the wheel does nothing.
//
// One form at a time. The module holds the form through a guarded pointer: a form deleted while
// hooked leaves no dangling reference, and unhooking a deleted form does nothing.
namespace mdlMouseScroll {

// Hooks form, unhooking whatever was hooked first. Null: nothing happens.
void HookMouseScroll(frmBrowse* form);
// Unhooks the hooked form, if any.
void UnhookMouseScroll();
// The hooked form, or null.
frmBrowse* HookedForm();

}  // namespace mdlMouseScroll
