#!/usr/bin/env python3
"""What wixl leaves out of the example package, made from the source itself.

wixl builds the package from examples/installer.wxs but gets three things
wrong: it drops the rows of custom actions that run an EXE (from the Binary
table or in a directory), it drops a component's NeverOverwrite and
Permanent attributes, and it numbers an action scheduled relative to
another custom action differently from run to run, sometimes ahead of
everything, and so the removal that a MajorUpgrade schedules. This reads the preprocessed source and the execute sequence
wixl wrote, and makes them as the WiX compiler would, so that the package
the tests run is the one the example describes:

    wixl -E [-D ...] installer.wxs | WixlGaps.py SEQUENCE.idt DIR

DIR/CustomAction.idt is the whole CustomAction table; DIR/queries.sql holds
one SQL statement a line for msibuild -q.

wixl cannot link either: it takes no Binary in a Fragment and no
CustomActionRef. So the preprocessed sources are first linked as the WiX
linker would, each Fragment that a reference names pulled into the Product
and the reference dropped:

    WixlGaps.py link PREPROCESSED.wxs... > LINKED.wxs

Nor does it know a file search (a FileSearch in a DirectorySearch) or a
component's Condition: wixl builds from the linked source without them,
and DIR/AppSearch.idt, DrLocator.idt, Signature.idt and queries.sql make
them from the whole one:

    WixlGaps.py strip LINKED.wxs > BUILT.wxs
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


def sequence(customs, standard):
    """Numbers for the custom actions, in the order Before and After ask.

    An action's place is a tuple that sorts where it must run: a standard
    action's is (number, 0); one Before or After an action with place
    P + (0,) is P + (-1, i, 0) or P + (1, i, 0), i its place in the source.
    Numbering all of them in that order keeps every standard action's own."""
    places = {name: (number, 0) for name, number in standard.items()}
    relative = {custom.get("Action"): custom for custom in customs}

    def place(name):
        if name not in places:
            custom = relative[name]
            if custom.get("Sequence"):
                places[name] = (int(custom.get("Sequence")), 0)
            else:
                side = -1 if custom.get("Before") else 1
                anchor = place(custom.get("Before") or custom.get("After"))
                places[name] = anchor[:-1] + (side, customs.index(custom), 0)
        return places[name]

    numbers, last = {}, 0
    for name in sorted(set(places) | set(relative), key=place):
        if name in standard and standard[name] <= last:
            sys.exit("no room for the custom actions before " + name)
        last = standard[name] if name in standard else last + 1
        numbers[name] = last
    return {name: numbers[name] for name in relative}


def link(paths):
    ElementTree.register_namespace("", WIX[1:-1])
    trees = [ElementTree.parse(path) for path in paths]
    main_tree = next(tree for tree in trees if tree.getroot().find(WIX + "Product") is not None)
    product = main_tree.getroot().find(WIX + "Product")
    fragments = [fragment for tree in trees for fragment in tree.getroot().iter(WIX + "Fragment")]
    for ref in product.findall(WIX + "CustomActionRef"):
        product.remove(ref)
        fragment = next(f for f in fragments
                        if any(a.get("Id") == ref.get("Id") for a in f.iter(WIX + "CustomAction")))
        for child in fragment:
            sequence = product.find(child.tag) if child.tag == WIX + "InstallExecuteSequence" else None
            if sequence is not None:
                sequence.extend(list(child))
            else:
                product.append(child)
    main_tree.write(sys.stdout, encoding="unicode")


def strip(path):
    ElementTree.register_namespace("", WIX[1:-1])
    tree = ElementTree.parse(path)
    for parent in tree.getroot().iter():
        for search in parent.findall(WIX + "DirectorySearch"):
            parent.remove(search)
        if parent.tag == WIX + "Component":
            for condition in parent.findall(WIX + "Condition"):
                parent.remove(condition)
    tree.write(sys.stdout, encoding="unicode")


def file_searches(root, out):
    """The tables of each file search in a folder, as the WiX compiler makes them."""
    tables = {
        "AppSearch": "Property\tSignature_\ns72\ts72\nAppSearch\tProperty\tSignature_\n",
        "DrLocator": "Signature_\tParent\tPath\tDepth\ns72\tS72\tS255\tI2\n"
                     "DrLocator\tSignature_\tParent\tPath\n",
        "Signature": "Signature\tFileName\tMinVersion\tMaxVersion\tMinSize\tMaxSize\tMinDate\t"
                     "MaxDate\tLanguages\ns72\ts255\tS20\tS20\tI4\tI4\tI4\tI4\tS255\n"
                     "Signature\tSignature\n",
    }
    for prop in root.iter(WIX + "Property"):
        for folder in prop.findall(WIX + "DirectorySearch"):
            for found in folder.findall(WIX + "FileSearch"):
                tables["AppSearch"] += "%s\t%s\n" % (prop.get("Id"), found.get("Id"))
                tables["DrLocator"] += "%s\t\t%s\t%s\n" % (
                    found.get("Id"), folder.get("Path"), folder.get("Depth", "0"))
                tables["Signature"] += "%s\t%s\t\t\t\t\t\t\t\n" % (found.get("Id"), found.get("Name"))
    for name, rows in tables.items():
        with open("%s/%s.idt" % (out, name), "w") as table:
            table.write(rows)


def main():
    if sys.argv[1] == "link":
        return link(sys.argv[2:])
    if sys.argv[1] == "strip":
        return strip(sys.argv[2])
    root = ElementTree.parse(sys.stdin).getroot()
    with open(sys.argv[1]) as table:
        rows = [line.rstrip("\r\n").split("\t") for line in table][3:]
    standard = {row[0]: int(row[2]) for row in rows}
    customs = [custom for table in root.iter(WIX + "InstallExecuteSequence")
               for custom in table.iter(WIX + "Custom")]
    # wixl numbers the removal of a major upgrade as it numbers those, at
    # times after the package's own files; the WiX compiler puts it where
    # its Schedule says.
    for upgrade in root.iter(WIX + "MajorUpgrade"):
        after = upgrade.get("Schedule", "afterInstallValidate")[len("after"):]
        customs.append(ElementTree.Element(WIX + "Custom", Action="RemoveExistingProducts",
                                           After=after))
    for custom in customs:
        standard.pop(custom.get("Action"), None)

    out = sys.argv[2]
    file_searches(root, out)
    with open(out + "/CustomAction.idt", "w") as table:
        table.write("Action\tType\tSource\tTarget\tExtendedType\n"
                    "s72\ti2\tS72\tS255\tI4\nCustomAction\tAction\n")
        for action in root.iter(WIX + "CustomAction"):
            table.write(custom_action(action) + "\n")
    with open(out + "/queries.sql", "w") as queries:
        for component in root.iter(WIX + "Component"):
            if any(component.get(name) == "yes" for name in DROPPED):
                bits = sum(bit for name, bit in COMPONENT.items() if component.get(name) == "yes")
                queries.write("UPDATE `Component` SET `Attributes` = %d WHERE `Component` = '%s'\n"
                              % (bits, component.get("Id")))
            condition = component.find(WIX + "Condition")
            if condition is not None:
                queries.write("UPDATE `Component` SET `Condition` = '%s' WHERE `Component` = '%s'\n"
                              % (condition.text.strip(), component.get("Id")))
        for custom in customs:
            queries.write("DELETE FROM `InstallExecuteSequence` WHERE `Action` = '%s'\n"
                          % custom.get("Action"))
        for name, number in sequence(customs, standard).items():
            condition = next(c for c in customs if c.get("Action") == name).text or ""
            queries.write("INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`)"
                          " VALUES ('%s', '%s', %d)\n" % (name, condition.strip(), number))


main()
