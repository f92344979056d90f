"""The Python module's reference, read by autodoc from the package found first on PYTHONPATH (the
build tree's, for make docs).

Signatures show the types as the sources write them, aliases spelt out, rather than evaluated, which
spells NumPy's ArrayLike over three lines. The extension's own signatures name C++ types and its
constants carry no docstrings, so theirs come from its stub, which mypy holds to the truth."""
import ast
import copy
import glob
import inspect
import os
import textwrap
from collections.abc import Mapping
from typing import Any, NamedTuple

import roadsim
from sphinx.application import Sphinx
from sphinx.ext.autodoc import PropertyDocumenter

project = "roadsim"
html_title = "roadsim from Python"
extensions = ["sphinx.ext.autodoc", "sphinx.ext.viewcode"]
html_theme = "alabaster"
html_theme_options = {"page_width": "1160px", "sidebar_width": "200px"}
html_static_path = ["_static"]
html_show_sourcelink = False
html_show_copyright = False
# Quotes made typographic, but never "--seed" made a dash.
smartquotes_action = "qe"
# Gymnasium's generic docstrings say nothing of these environments.
autodoc_inherit_docstrings = False
autodoc_member_order = "bysource"
rst_prolog = ".. |courses| replace:: " + ", ".join(f"``{name}``" for name in roadsim.courses())

PACKAGE = os.path.dirname(roadsim.__file__)


class Entry(NamedTuple):
    """What a signature shows: its parameters (None for no function) and its type (a function's
    return or a property's); for the stub's constants, only their docstring."""

    parameters: str | None
    type: str | None
    doc: str | None = None


class Spelt(ast.NodeTransformer):
    """Annotations as a reader can read them: the package's type aliases written out, the stub's
    TypedDicts the dicts they are at run time."""

    def __init__(self, paths: list[str]) -> None:
        self.names: dict[str, ast.expr] = {}
        for path in paths:
            with open(path, encoding="utf-8") as file:
                for node in ast.parse(file.read()).body:
                    # An alias is a union or a generic; other assignments are values.
                    if (isinstance(node, ast.Assign) and isinstance(node.targets[0], ast.Name)
                            and isinstance(node.value, (ast.BinOp, ast.Subscript))):
                        self.names[node.targets[0].id] = node.value
                    elif isinstance(node, ast.ClassDef) and any(
                            isinstance(base, ast.Name) and base.id == "TypedDict"
                            for base in node.bases):
                        self.names[node.name] = ast.Name("dict")

    def visit_Name(self, node: ast.Name) -> ast.expr:
        return self.names.get(node.id, node)

    def text(self, node: ast.AST | None) -> str | None:
        return None if node is None else ast.unparse(self.visit(copy.deepcopy(node)))


SPELT = Spelt(glob.glob(os.path.join(PACKAGE, "*.py")) + [os.path.join(PACKAGE, "_roadsim.pyi")])


def function_entry(node: ast.FunctionDef, method: bool,
                   values: Mapping[str, inspect.Parameter] | None = None) -> Entry:
    """NODE's signature, without self for a METHOD; VALUES, where given, are its parameters at run
    time, whose defaults are shown rather than the names the source gives them."""
    arguments = copy.deepcopy(node.args)
    if method:
        del arguments.args[0]
    if values is not None:
        positional = arguments.posonlyargs + arguments.args
        named = positional[len(positional) - len(arguments.defaults):]
        arguments.defaults = [ast.Constant(values[a.arg].default) for a in named]
        arguments.kw_defaults = [None if d is None else ast.Constant(values[a.arg].default)
                                 for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults)]
    kind = SPELT.text(node.returns)
    if any(isinstance(d, ast.Name) and d.id == "property" for d in node.decorator_list):
        return Entry(None, kind)
    return Entry(f"({SPELT.text(arguments)})", kind)


def read_stub(path: str) -> dict[str, Entry]:
    """The stub's entries by name as in the module ("Drive", "Drive.reset", "SEEDS"); a class has
    the members of the stub-only classes it derives from, as the extension's class has them."""
    with open(path, encoding="utf-8") as file:
        body = ast.parse(file.read()).body
    classes = {node.name: node for node in body if isinstance(node, ast.ClassDef)}
    entries: dict[str, Entry] = {}
    for node, after in zip(body, body[1:] + [None]):
        if isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name):
            doc = after.value.value if isinstance(after, ast.Expr) and isinstance(
                after.value, ast.Constant) else None
            entries[node.target.id] = Entry(None, None, doc)
        elif isinstance(node, ast.FunctionDef):
            entries[node.name] = function_entry(node, method=False)
        elif isinstance(node, ast.ClassDef):
            for member in members(node, classes):
                entries[f"{node.name}.{member.name}"] = function_entry(member, method=True)
            if f"{node.name}.__init__" in entries:
                entries[node.name] = entries[f"{node.name}.__init__"]
    return entries


def members(node: ast.ClassDef, classes: dict[str, ast.ClassDef]) -> list[ast.FunctionDef]:
    """A stub class's methods and properties, those of its stub bases first."""
    inherited = [member for base in node.bases if isinstance(base, ast.Name) and base.id in classes
                 for member in members(classes[base.id], classes)]
    return inherited + [member for member in node.body if isinstance(member, ast.FunctionDef)]


STUB = read_stub(os.path.join(PACKAGE, "_roadsim.pyi"))


def stub_entry(name: str) -> Entry | None:
    """The stub's entry for the extension's object NAME, as autodoc names it."""
    for prefix in ("roadsim._roadsim.", "roadsim."):
        if name.startswith(prefix):
            return STUB.get(name[len(prefix):])
    return None


def written_entry(obj: Any, what: str) -> Entry | None:
    """The signature of the package's function, method or class OBJ as its source writes it."""
    function = obj.__init__ if what == "class" else obj
    try:
        node = ast.parse(textwrap.dedent(inspect.getsource(function))).body[0]
    except (OSError, TypeError):
        return None
    if not isinstance(node, ast.FunctionDef):
        return None
    return function_entry(node, what != "function", inspect.signature(function).parameters)


def typed_signature(app: Sphinx, what: str, name: str, obj: Any, options: Any, signature: str,
                    returns: str) -> tuple[str, str | None] | None:
    entry = stub_entry(name)
    if entry is None and what in ("function", "method", "class"):
        entry = written_entry(obj, what)
    if entry is None or entry.parameters is None:
        return None
    return entry.parameters, None if what == "class" else entry.type


def stub_docstring(app: Sphinx, what: str, name: str, obj: Any, options: Any,
                   lines: list[str]) -> None:
    """A constant of the extension's has the docstring its stub gives it, not its type's."""
    entry = stub_entry(name)
    if what == "data" and entry is not None and entry.doc is not None:
        lines[:] = entry.doc.splitlines()


class StubProperty(PropertyDocumenter):
    """A property with its type, the extension's from the stub."""

    def add_directive_header(self, sig: str) -> None:
        super().add_directive_header(sig)
        entry = stub_entry(self.fullname)
        if entry is not None and entry.type is not None:
            self.add_line("   :type: " + entry.type, self.get_sourcename())


def setup(app: Sphinx) -> None:
    app.connect("autodoc-process-signature", typed_signature)
    app.connect("autodoc-process-docstring", stub_docstring)
    app.add_autodocumenter(StubProperty, override=True)
