"""Value formulas of scenarios: arithmetic over a few names, evaluated without eval()."""

import ast
import math

_FORMULA_FUNCTIONS = {
    "sin": math.sin, "cos": math.cos, "exp": math.exp, "log": math.log, "sqrt": math.sqrt,
    "floor": math.floor, "ceil": math.ceil, "abs": abs, "min": min, "max": max, "round": round,
}
FORMULA_CONSTANTS = {"pi": math.pi, "e": math.e}
_BINARY = {
    ast.Add: lambda a, b: a + b, ast.Sub: lambda a, b: a - b, ast.Mult: lambda a, b: a * b,
    ast.Div: lambda a, b: a / b, ast.FloorDiv: lambda a, b: a // b, ast.Mod: lambda a, b: a % b,
    ast.Pow: lambda a, b: a ** b,
}
_UNARY = {ast.USub: lambda a: -a, ast.UAdd: lambda a: a}


class Formula:
    """An arithmetic expression over a few names, evaluated without eval()."""

    def __init__(self, text):
        self.text = text
        self.tree = ast.parse(text, mode="eval").body
        self._check(self.tree)

    def _check(self, node):
        if isinstance(node, ast.Constant) and isinstance(node.value, (int, float)):
            return
        if isinstance(node, ast.Name):
            return
        if isinstance(node, ast.BinOp) and type(node.op) in _BINARY:
            self._check(node.left)
            self._check(node.right)
            return
        if isinstance(node, ast.UnaryOp) and type(node.op) in _UNARY:
            self._check(node.operand)
            return
        if (isinstance(node, ast.Call) and isinstance(node.func, ast.Name)
                and node.func.id in _FORMULA_FUNCTIONS and not node.keywords):
            for arg in node.args:
                self._check(arg)
            return
        raise ValueError(f"formula {self.text!r}: {ast.dump(node)} is not allowed")

    def __call__(self, names):
        return self._eval(self.tree, names)

    def _eval(self, node, names):
        if isinstance(node, ast.Constant):
            return node.value
        if isinstance(node, ast.Name):
            if node.id in names:
                return names[node.id]
            if node.id in FORMULA_CONSTANTS:
                return FORMULA_CONSTANTS[node.id]
            raise ValueError(f"formula {self.text!r}: unknown name {node.id!r}")
        if isinstance(node, ast.BinOp):
            return _BINARY[type(node.op)](self._eval(node.left, names),
                                          self._eval(node.right, names))
        if isinstance(node, ast.UnaryOp):
            return _UNARY[type(node.op)](self._eval(node.operand, names))
        args = [self._eval(a, names) for a in node.args]
        return _FORMULA_FUNCTIONS[node.func.id](*args)


def value_source(desc, what):
    """A function (index, names) -> value from a number, a list (cycled) or a formula text."""
    if isinstance(desc, bool):
        raise ValueError(f"{what}: a value is a number, a list or a formula")
    if isinstance(desc, (int, float)):
        return lambda i, names: desc
    if isinstance(desc, list):
        if not desc:
            raise ValueError(f"{what}: empty value list")
        return lambda i, names: desc[i % len(desc)]
    if isinstance(desc, str):
        formula = Formula(desc)
        return lambda i, names: formula(names)
    raise ValueError(f"{what}: a value is a number, a list or a formula")


def formula_names(formula):
    """The names a formula reads, its functions left out."""
    called = {id(node.func) for node in ast.walk(formula.tree) if isinstance(node, ast.Call)}
    return {node.id for node in ast.walk(formula.tree)
            if isinstance(node, ast.Name) and id(node) not in called}
