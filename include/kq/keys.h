/* Key events: the 32-bit word every window's key handler receives.
 *   byte 0  flags (KF_DOWN, lock states, left/right Alt, left/right Ctrl)
 *   bit 8   KF_SHIFT
 *   byte 2  key code (KC_*)
 *   byte 3  the key's character in the console code page, 0 when it has none */
#ifndef KQ_KEYS_H
#define KQ_KEYS_H

#include <stdint.h>

#define KF_DOWN 0x001u
#define KF_CAPSLOCK 0x002u
#define KF_NUMLOCK 0x004u
#define KF_SCROLLLOCK 0x008u
#define KF_LALT 0x010u
#define KF_RALT 0x020u
#define KF_LCTRL 0x040u
#define KF_RCTRL 0x080u
#define KF_SHIFT 0x100u

#define KF_ALT (KF_LALT | KF_RALT)
#define KF_CTRL (KF_LCTRL | KF_RCTRL)

#define KC_BACK 0x08
#define KC_TAB 0x09
#define KC_ENTER 0x0D
#define KC_ESC 0x1B
#define KC_SPACE 0x20
#define KC_SHIFT 0x81
#define KC_CTRL 0x82
#define KC_RCTRL 0x83
#define KC_ALT 0x84
#define KC_RALT 0x85
#define KC_PGUP 0x86
#define KC_PGDN 0x87
#define KC_HOME 0x88
#define KC_END 0x89
#define KC_INS 0x8A
#define KC_DEL 0x8B
#define KC_LEFT 0x8C
#define KC_UP 0x8D
#define KC_DOWN 0x8E
#define KC_RIGHT 0x8F
#define KC_NUM0 0x90
#define KC_NUM1 0x91
#define KC_NUM2 0x92
#define KC_NUM3 0x93
#define KC_NUM4 0x94
#define KC_NUM5 0x95
#define KC_NUM6 0x96
#define KC_NUM7 0x97
#define KC_NUM8 0x98
#define KC_NUM9 0x99
#define KC_NUMMUL 0x9A
#define KC_NUMADD 0x9B
#define KC_NUMSUB 0x9C
#define KC_NUMDIV 0x9E
#define KC_F1 0xA0
#define KC_F2 0xA1
#define KC_F3 0xA2
#define KC_F4 0xA3
#define KC_F5 0xA4
#define KC_F6 0xA5
#define KC_F7 0xA6
#define KC_F8 0xA7
#define KC_F9 0xA8
#define KC_F10 0xA9
#define KC_F11 0xAA
#define KC_F12 0xAB
/* Text was pasted into the terminal. The focused edit line takes it (inside the library); a
 * window that edits no text ignores the event. Never a key of its own. */
#define KC_PASTE 0xF0
#define KC_NONE 0xFF

#define KEY_FLAGS(event) ((uint32_t)(event)&0xFFFFu)
#define KEY_CODE(event) (((uint32_t)(event) >> 16) & 0xFFu)
#define KEY_CHAR(event) (((uint32_t)(event) >> 24) & 0xFFu)
#define KEY_EVENT(code, ch, flags)                                       \
    ((((uint32_t)(ch)&0xFFu) << 24) | (((uint32_t)(code)&0xFFu) << 16) | \
     ((uint32_t)(flags)&0xFFFFu))

#endif
