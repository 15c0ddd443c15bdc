#!/usr/bin/env python3
"""What wixl leaves out of the example package, made from the source itself.

wixl builds the package from examples/installer.wxs but drops two things:
the rows of custom actions that run an EXE (from the Binary table or in a
directory), and a component's NeverOverwrite and Permanent attributes. This reads the
preprocessed source and writes them, with the bits that the WiX compiler
gives the attributes used, so that the package the tests run is the one
the example describes:

    wixl -E [-D ...] installer.wxs | WixlGaps.py DIR

DIR/CustomAction.idt is the whole CustomAction table; DIR/queries.sql holds
one SQL statement a line for msibuild -q.
"""
import sys
import xml.etree.ElementTree as ElementTree

WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
# An EXE custom action runs a stream of the Binary table, or runs in a
# directory.
SOURCES = {"BinaryKey": 2, "Directory": 34}
EXECUTE = {"immediate": 0, "deferred": 0x400, "rollback": 0x500, "commit": 0x600}
RETURN = {"check": 0, "ignore": 0x40, "asyncWait": 0x80, "asyncNoWait": 0xC0}
NO_IMPERSONATE = 0x800
# The component attribute bits that wixl drops, and one that it keeps but
# that an UPDATE of the whole value must keep too.
DROPPED = {"Permanent": 0x10, "NeverOverwrite": 0x80}
COMPONENT = dict(DROPPED, Win64=0x100)


def custom_action(action):
    source = next(name for name in SOURCES if name in action.attrib)
    kind = SOURCES[source] | EXECUTE[action.get("Execute", "immediate")]
    kind |= RETURN[action.get("Return", "check")]
    if action.get("Impersonate") == "no":
        kind |= NO_IMPERSONATE
    return "\t".join([action.get("Id"), str(kind), action.get(source), action.get("ExeCommand"), ""])


def main():
    root = ElementTree.parse(sys.stdin).getroot()
    rows = [custom_action(action) for action in root.iter(WIX + "CustomAction")]
    with open(sys.argv[1] + "/CustomAction.idt", "w") as table:
        table.write("Action\tType\tSource\tTarget\tExtendedType\n"
                    "s72\ti2\tS72\tS255\tI4\nCustomAction\tAction\n")
        table.writelines(row + "\n" for row in rows)
    with open(sys.argv[1] + "/queries.sql", "w") as queries:
        for component in root.iter(WIX + "Component"):
            if any(component.get(name) == "yes" for name in DROPPED):
                bits = sum(bit for name, bit in COMPONENT.items() if component.get(name) == "yes")
                queries.write("UPDATE `Component` SET `Attributes` = %d WHERE `Component` = '%s'\n"
                              % (bits, component.get("Id")))


main()
