// Resources as data: dialog templates, the string table, icons, bitmaps.
//
// The application hands its resource table to the toolkit once; dialogs
// are then built from their template by identifier, like a resource file.
#pragma once

#include "afxtypes.h"

#include <span>

enum class ControlKind {
	GroupBox,
	CheckBox,
	RadioButton,
	PushButton,
	DefPushButton,
	Edit,
	Label,
	HScrollBar,
	ProgressBar,
	Bitmap, // picture control showing a bitmap resource
	Icon,   // picture control showing an icon resource
};

// Style flags of a control in a template.
enum ControlStyle : unsigned {
	CS_NONE = 0,
	CS_HIDDEN = 1u << 0,    // created without being shown
	CS_READONLY = 1u << 1,  // edit: the operator cannot type
	CS_MULTILINE = 1u << 2, // edit: multi-line (no change notification on a program-set text)
	CS_CENTER = 1u << 3,    // edit: centred text
};

struct ControlTemplate {
	int id; // -1 for controls without an identifier
	ControlKind kind;
	const char *caption; // caption, or a description for controls without one
	const char *group;   // caption of the group box the control lies in, or nullptr
	short x, y, cx, cy;  // dialog units
	unsigned style;
	int radioGroup;                // radio buttons of one set share a non-zero number
	UINT resource;                 // bitmap / icon resource of a picture control
	const char *tooltip = nullptr; // what an abbreviated control does, in a sentence
	// What a screen reader calls a control that shows no caption of its
	// own (a slider, an edit): the caption beside it.
	const char *name = nullptr;
};

struct DialogTemplate {
	UINT id;
	const char *caption;
	short cx, cy; // dialog units
	const char *fontFace;
	int pointSize;
	std::span<const ControlTemplate> controls;
};

struct StringResource {
	UINT id;
	const char *text;
};

struct ImageResource {
	UINT id;
	const char *path; // path in the application's embedded resources
};

struct ResourceTable {
	std::span<const DialogTemplate> dialogs;
	std::span<const StringResource> strings;
	std::span<const ImageResource> icons;
	std::span<const ImageResource> bitmaps;
};

void AfxSetResourceTable(const ResourceTable *table);
const DialogTemplate *AfxFindDialogTemplate(UINT id);
const char *AfxFindString(UINT id);
HICON AfxFindIcon(UINT id);
const ImageResource *AfxFindBitmap(UINT id);
