#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes FormatOptions.xml, the node archive of the MP2 settings dialog.

Run it after changing the tree below: python3 make_format_options.py > FormatOptions.xml
The archive is a prop.map: every prop.list keeps its keys in ascending ASCII order and every
line ends with CR LF.
"""
import sys
from xml.sax.saxutils import escape

K = "$$$/SovaTwoLame/FormatOptionsViewXML/"
D = "$$$/SovaTwoLame/FormatOptionsDialogXML/"


# Values ------------------------------------------------------------------------------------
class U32(int): pass
class I32(int): pass
class F(float): pass
class UStr(str): pass
class BStr(str): pass
class UArray(list): pass


def rect(left, top, width, height):
    return {".aptype": U32(1), "height": F(height), "left": F(left), "top": F(top), "width": F(width)}


def choice(selected):
    return {".aptype": U32(2), "selected": I32(selected)}


def colour(r, g, b, a):
    return {".aptype": U32(3), "alpha": F(a), "blue": F(b), "green": F(g), "red": F(r)}


def constraints(mask):
    return {".aptype": U32(4), "constraints": U32(mask)}


def loc(literal):
    return UStr("(" + literal + ")")


def fmt_float(v):
    text = repr(float(v))
    return text[:-2] if text.endswith(".0") else text


def write_value(out, value, indent):
    pad = "\t" * indent
    if isinstance(value, bool):
        out.append(pad + ("<true/>" if value else "<false/>"))
    elif isinstance(value, U32):
        out.append(pad + "<int type='unsigned' size='32'>%d</int>" % value)
    elif isinstance(value, I32) or isinstance(value, int):
        out.append(pad + "<int type='signed' size='32'>%d</int>" % value)
    elif isinstance(value, F):
        out.append(pad + "<float>%s</float>" % fmt_float(value))
    elif isinstance(value, BStr):
        out.append(pad + "<string>%s</string>" % escape(value))
    elif isinstance(value, UStr) or isinstance(value, str):
        out.append(pad + "<ustring>%s</ustring>" % escape(value))
    elif isinstance(value, UArray):
        out.append(pad + "<array>")
        out.append(pad + "\t<array.type>ustring</array.type>")
        for item in value:
            out.append(pad + "\t<ustring>%s</ustring>" % escape(item))
        out.append(pad + "</array>")
    elif isinstance(value, dict):
        write_list(out, value, indent)
    else:
        raise TypeError(value)


def write_list(out, mapping, indent):
    pad = "\t" * indent
    out.append(pad + "<prop.list>")
    for key in sorted(mapping, key=lambda k: k.encode("ascii")):
        out.append(pad + "\t<prop.pair>")
        out.append(pad + "\t\t<key>%s</key>" % escape(key))
        write_value(out, mapping[key], indent + 2)
        out.append(pad + "\t</prop.pair>")
    out.append(pad + "</prop.list>")


# Classes -----------------------------------------------------------------------------------
NODE = "tsaui::ui::UI_Node"
SUBVIEW = "tsaui::ui::UI_SubView"
LAYOUTVIEW = "tsaui::ui::UI_LayoutView"
CONTROL = "tsaui::controls::UI_ControlView"
STATIC = "tsaui::controls::UI_StaticText"
POPUP = "tsaui::controls::UI_Popup"
CHECKBOX = "tsaui::controls::UI_Checkbox"
SECTION = "tsaui::controls::UI_SectionView"
HOTTEXT = "tsaui::controls::UI_HotTextNumber"
BUTTON = "tsaui::controls::UI_Button"
TEXTBUTTON = "tsaui::controls::UI_TextButton"
OUTLINE = "uit::controls::UI_OutlineBoxWithLabel"

CHAINS = {
    SUBVIEW: [SUBVIEW, NODE],
    LAYOUTVIEW: [LAYOUTVIEW, SUBVIEW, NODE],
    OUTLINE: [OUTLINE, SUBVIEW, NODE],
    SECTION: [SECTION, SUBVIEW, NODE],
    STATIC: [STATIC, CONTROL, NODE],
    POPUP: [POPUP, CONTROL, NODE],
    CHECKBOX: [CHECKBOX, CONTROL, NODE],
    HOTTEXT: [HOTTEXT, CONTROL, NODE],
    TEXTBUTTON: [TEXTBUTTON, BUTTON, CONTROL, NODE],
}


def node(cls, node_id, bounds, children=(), tooltip="", props=None, layout=None):
    """props: {class: {key: value}} for the class sections; layout: UI_SubView flags."""
    props = props or {}
    sections = {}
    chain = CHAINS[cls]
    for index, section_class in enumerate(chain):
        section = {"sectionName": BStr(section_class)}
        section.update(props.get(section_class, {}))
        if section_class == NODE:
            section.update({"bounds": rect(*bounds), "id": BStr(node_id),
                            "tooltip": UStr(tooltip), "visible": True})
        elif section_class == SUBVIEW:
            flags = {"AutoLayout": False, "AutoLayout_Horizontal": False,
                     "AutoLayout_MaintainMargins": False, "AutoLayout_ScaleChildren": False,
                     "LayoutChildren": False, "Constraints": constraints(0)}
            flags.update(layout or {})
            section.update(flags)
        elif section_class == CONTROL:
            section.update({"enabled": True, "fontSize": F(11)})
        if index == 0 and SUBVIEW in chain:
            kids = {"child-%d" % i: child for i, child in enumerate(children)}
            kids["count"] = U32(len(children))
            section["children"] = kids
        sections["section-%d" % index] = section
    sections["count"] = U32(len(chain))
    return {"adapter": BStr(cls), "sections": sections}


def subview(node_id, bounds, children=(), layout=None):
    return node(SUBVIEW, node_id, bounds, children, layout=layout)


def label(node_id, literal, bounds, alignment=2):
    return node(STATIC, node_id, bounds, props={STATIC: {
        "alignment": choice(alignment), "multiLine": False, "text": loc(literal),
        "textTruncation": choice(2)}})


def popup(node_id, bounds, tooltip=""):
    return node(POPUP, node_id, bounds, tooltip=tooltip and loc(tooltip), props={POPUP: {
        "alwaysNotify": False, "cornerRadius": F(3), "drawDivider": True, "items": UArray(),
        "popupType": choice(0), "wantsFocus": True}})


def checkbox(node_id, bounds, tooltip):
    return node(CHECKBOX, node_id, bounds, tooltip=loc(tooltip), props={CHECKBOX: {
        "checkSize": F(14), "checked": False, "text": UStr("")}})


def outline(node_id, literal, bounds, children):
    return node(OUTLINE, node_id, bounds, children, props={OUTLINE: {"label": loc(literal)}})


def button(node_id, literal, bounds):
    return node(TEXTBUTTON, node_id, bounds, props={TEXTBUTTON: {"text": loc(literal)}})


VERTICAL = {"AutoLayout": True, "AutoLayout_ScaleChildren": True, "LayoutChildren": True,
            "Constraints": constraints(15)}
HORIZONTAL = {"AutoLayout": True, "AutoLayout_Horizontal": True, "LayoutChildren": True}

ath = node(HOTTEXT, "AthHotTextID", (0, 0, 50, 19),
           tooltip=loc(K + "AthHotTextIDTT=Adjusts the Absolute Threshold of Hearing value used in "
                       "calculations of certain psychoacoustic models."),
           props={HOTTEXT: {
               "cmdIncrement": F(0.1), "decimalPlaces": U32(1), "formatAlwaysSign": False,
               "formatLeadingSpaces": False, "formatNoLocalization": False,
               "formatNoTrailingZeros": False, "formatNormal": False, "formatPadSign": False,
               "formatUseSeparator": False, "increment": F(1.0), "maxValue": F(10.0),
               "minValue": F(-10.0), "numericInput": False, "shiftIncrement": F(3.0),
               "textLabel": UStr("dB"), "value": F(0.0)}})

root = subview("UI_SubView", (41, 52, 252, 486), layout=VERTICAL, children=[
    node(LAYOUTVIEW, "UI_SubView", (9, 12, 234, 66), layout=HORIZONTAL, children=[
        subview("UI_SubView", (0, 0, 58, 66), [
            label("UI_StaticText", K + "CompressionType=Type:", (0, 0, 58, 19)),
            label("ChannelModePopupStaticTextID", K + "Channels=Channel Mode:", (0, 23, 58, 19)),
            label("BitratePopupDynamicTextID", K + "Bitrate=Bitrate:", (0, 46, 58, 19)),
        ]),
        subview("UI_SubView", (63, 0, 170, 66), [
            label("MpegModeDynamicTextID", K + "MpegMode=MPEG 1 Layer II", (1, 0, 111, 19), alignment=0),
            popup("ChannelModePopupID", (0, 23, 170, 19)),
            popup("ConstantBitratePopupID", (0, 46, 170, 19)),
        ]),
    ]),
    node(SECTION, "AdvancedSectionViewID", (9, 90, 234, 350), props={SECTION: {
        "fillColor": colour(0.5, 0.5, 0.5, 0.0), "headerHeight": F(18), "label": loc(K + "Advanced=Advanced"),
        "labelOffsetX": F(0), "opened": False, "showBorder": False, "userOpenable": True}}, children=[
        subview("UI_SubView", (8, 13, 218, 310), [
            outline("MetadataSettingsGroupBoxID", K + "HeaderFlags=Header Flags", (0, 0, 218, 108), [
                subview("UI_SubView", (9, 15, 200, 76), [
                    subview("advancedMetadataLabelsLeftColID", (0, 0, 58, 69), [
                        label("CopyrightTextID", K + "Copyright=Copyright:", (0, 0, 58, 19)),
                        label("", K + "DeEmphasis=De-Emphasis:", (0, 46, 58, 19)),
                        label("OriginalTextID", K + "Original=Original:", (0, 23, 58, 19)),
                    ]),
                    subview("advancedMetadataControlsLeftColID", (67, 0, 133, 69), [
                        checkbox("CopyrightCheckboxID", (0, 3, 30, 14), K + "CopyrightCheckboxIDTT=This flag "
                                 "specifies that the file is a copyrighted audio file."),
                        checkbox("OriginalCheckboxID", (0, 26, 30, 14), K + "OriginalCheckboxIDTT=This flag "
                                 "specifies that the file is an original file."),
                        popup("DeEmphasisModelPopupID", (0, 46, 133, 19), K + "DeEmphasisModelPopupIDTT=Setting "
                              "this flag informs the decoder that a specific type of de-emphasis is needed to "
                              "play back this file."),
                    ]),
                ]),
            ]),
            outline("BytestreamGroupBoxID", K + "MPEGBitestreamOptions=MPEG Bitestream Options", (0, 121, 218, 102), [
                subview("UI_SubView", (9, 15, 200, 69), [
                    subview("advancedBitStreamLabelsLeftColID", (0, 0, 58, 69), [
                        label("", K + "EmbedPeakData=Embed Peak Data:", (0, 0, 58, 19)),
                        label("", K + "EmbedErrorProtection=Embed CRC Error Protection:", (0, 23, 58, 19)),
                        label("", K + "EnablePadding=Enable Padding:", (0, 46, 58, 19)),
                    ]),
                    subview("advancedBitstreamControlsLeftColID", (67, 0, 133, 69), [
                        checkbox("EmbedPeakCheckboxID", (0, 3, 30, 14), K + "EnergyLevelCheckboxIDTT=Enabling "
                                 "this option will embed the peak audio level at the end of each MPEG audio frame "
                                 "(in the ancillary bits).  This option is commonly used in the broadcast industry "
                                 "for visualizing the audio in editing applications without decoding."),
                        checkbox("CRCCheckboxID", (0, 26, 30, 14), K + "CRCCheckboxIDTT=Enabling this option "
                                 "will protect the MPEG file from bit errors by embedding CRC (Cyclic Redundancy "
                                 "Check) information."),
                        checkbox("EnablePaddingCheckboxID", (0, 49, 30, 14), K + "PaddingCheckboxIDTT=Enabling "
                                 "this option will adjust the MPEG audio frame sizes to achieve the overall target "
                                 "bitrate"),
                    ]),
                ]),
            ]),
            outline("EncoderSettingsGroupBoxID", K + "EncoderSettings=Encoder Settings", (0, 234, 218, 76), [
                subview("UI_SubView", (9, 15, 200, 46), [
                    subview("advancedEncoderLabelsLeftColID", (0, 0, 58, 46), [
                        label("", K + "AthLevel=ATH Adjustment:", (0, 23, 58, 19)),
                        label("", K + "PsycModel=Psychoacoustic Model:", (0, 0, 58, 19)),
                    ]),
                    subview("advancedEncoderControlsLeftColID", (67, 0, 133, 46), [
                        popup("PsycModelPopupID", (0, 0, 133, 19), K + "PsycModelPopupIDTT=Sets the "
                              "Psychoacoustic Model to be used during Encoding."),
                        subview("advancedMetadataControlsRightColID", (0, 23, 50, 23), [ath]),
                    ]),
                ]),
            ]),
        ]),
    ]),
    subview("UI_SubView", (0, 453, 252, 22), layout=HORIZONTAL, children=[
        button("OKButtonID", D + "OK=OK", (68, 0, 80, 19)),
        button("CancelButtonID", D + "Cancel=Cancel", (167, 0, 80, 19)),
    ]),
])


def main():
    out = ["<?xml version='1.0'?>", "<prop.map version='4'>"]
    write_list(out, {"UINodeArchive": U32(1), "root": root}, 0)
    out.append("</prop.map>")
    sys.stdout.buffer.write(("\r\n".join(out) + "\r\n").encode("utf-8"))


if __name__ == "__main__":
    main()
