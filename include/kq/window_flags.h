/* Window flags (the WF_ bits). Dialog templates in the language modules carry them in their
 * item style words, so this header is plain preprocessor text that the resource compiler
 * reads as well. */
#ifndef KQ_WINDOW_FLAGS_H
#define KQ_WINDOW_FLAGS_H

#define WF_VISIBLE 0x001
#define WF_FOCUSABLE 0x002
#define WF_DEFAULT 0x004
#define WF_DISABLED 0x008
#define WF_BEEP 0x010
#define WF_POPUP 0x010
#define WF_AUTOHIDE 0x020
#define WF_CENTER 0x040
#define WF_GROUP 0x080
#define WF_OVERLAY 0x100
#define WF_LIMIT 0x200
#define WF_PASSWORD 0x400
#define WF_MODAL 0x800

#endif
