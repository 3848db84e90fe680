#pragma once

// A small text-mode dialog library over curses: menus, radio and check
// lists, message, yes/no and input boxes, a progress gauge and F1 help.
//
// Every dialog blocks until the user answers it (the gauge only draws).
// Heights and widths of -1 (or 0) ask for a size that fits the text.

#ifdef __cplusplus
extern "C" {
#endif

// Codes an item's fire callback returns.  A menu stays open after
// DITEM_SUCCESS and DITEM_REDRAW (the callback may have drawn other dialogs,
// so the menu is drawn again either way) and returns 0 to its caller after
// DITEM_LEAVE_MENU, so that the caller can rebuild the menu with fresh data.
enum
{
    DITEM_SUCCESS = 0,
    DITEM_REDRAW = 0x20000,
    DITEM_LEAVE_MENU = 0x30000
};

typedef struct dialogMenuItem dialogMenuItem;

// One entry of a menu, radio list or check list.  The item array handed to
// those dialogs starts with two button entries, OK then Cancel, whose
// prompts are the button labels (NULL gives "OK" and "Cancel"), followed by
// the items themselves.
struct dialogMenuItem
{
    const char* prompt; // left text
    const char* title;  // right text
    // Whether the item is marked (lists); NULL lets the library keep the
    // mark in `on`.
    int (*checked)(dialogMenuItem* self);
    // Run when the item is chosen (menus) or toggled (lists); returns one
    // of the DITEM codes.  On a button entry it runs when the button is
    // pressed and its code decides as for an item.
    int (*fire)(dialogMenuItem* self);
    long data;
    // The mark's brackets and character; zero gives "[X]" for check lists
    // and "(*)" for radio lists.
    char lbra, mark, rbra;
    int on;
};

// Takes over the terminal.  Returns 0, or -1 when there is no usable
// terminal.
int init_dialog(void);
// Gives the terminal back; harmless when the library is not started.
void end_dialog(void);
// Paints the empty backdrop.
void dialog_clear(void);

// The help file that F1 reads (NULL: none) and the line shown at the foot
// of the screen (NULL: none).  Each dialog keeps the values in force when
// it was opened, also after callbacks that changed them.
void use_helpfile(const char* path);
void use_helpline(const char* line);

// Menus and lists take `item_no` items after the two button entries of
// `items`; `list_height` is the number of rows shown (-1: as many as fit).
// They return 0 for OK (or an item that left the menu), 1 for Cancel and
// -1 for Esc or a failure.
int dialog_menu(const char* title, const char* prompt, int height, int width, int list_height, int item_no,
                dialogMenuItem* items);
int dialog_radiolist(const char* title, const char* prompt, int height, int width, int list_height,
                     int item_no, dialogMenuItem* items);
int dialog_checklist(const char* title, const char* prompt, int height, int width, int list_height,
                     int item_no, dialogMenuItem* items);

// With `pause` the box waits for OK; without it the box is drawn and left.
int dialog_msgbox(const char* title, const char* prompt, int height, int width, int pause);
// 0 for yes, 1 for no, -1 for Esc.
int dialog_yesno(const char* title, const char* prompt, int height, int width);
// `result` holds the preset text on entry and the answer on return; it has
// room for `size` bytes, so at most size - 1 characters are taken.  0 for
// OK, 1 for Cancel, -1 for Esc; on Cancel or Esc `result` is unchanged.
int dialog_inputbox(const char* title, const char* prompt, int height, int width, char* result, int size);
// Draws a progress box at row y, column x and returns at once.
void dialog_gauge(const char* title, const char* prompt, int y, int x, int height, int width, int percent);

#ifdef __cplusplus
}
#endif
