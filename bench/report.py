"""The figures of one `make bench` run: a table on the terminal and build/bench.json."""
import json


class Report:
    def __init__(self):
        self.figures = {}
        self._rows = []

    def add(self, name, title, value, unit, target, times, at_least=False, **extra):
        """A figure: `value` is met when at or below `target` (at or above it with `at_least`,
        which the entry then says; None: reported, no target); `times` are the absolute times
        it comes from, as (label, number, unit) for the table and the JSON alike."""
        met = _met(value, target, at_least)
        entry = {"value": round(value, 4), "unit": unit, "target": target, "met": met}
        if at_least:
            entry["at_least"] = True
        entry.update(_times_dict(times))
        entry.update(extra)
        self.figures[name] = entry
        self._rows.append((title, value, unit, target, met, times, at_least))

    def add_second(self, name, key, title, value, unit, target, times, at_least=False):
        """A second target of figure `name`, kept under `key` inside its entry."""
        met = _met(value, target, at_least)
        part = {"value": round(value, 4), "unit": unit, "target": target, "met": met}
        if at_least:
            part["at_least"] = True
        part.update(_times_dict(times))
        self.figures[name][key] = part
        self._rows.append((title, value, unit, target, met, times, at_least))

    def table(self):
        header = ("figure", "measured", "target", "met", "absolute times")
        lines = [[title, _number(value, unit),
                  "-" if target is None
                  else f"{'>=' if at_least else '<='} {_number(target, unit)}",
                  "-" if met is None else "yes" if met else "NO",
                  ", ".join(_time_text(t) for t in times)]
                 for title, value, unit, target, met, times, at_least in self._rows]
        widths = [max(len(row[i]) for row in [header, *lines]) for i in range(4)]
        out = []
        for row in [header, *lines]:
            out.append("  ".join(cell.ljust(widths[i]) for i, cell in enumerate(row[:4]))
                       + "  " + row[4])
        out.insert(1, "-" * len(out[0]))
        return "\n".join(out)

    def write_json(self, path):
        with open(path, "w") as out:
            json.dump({"figures": self.figures}, out, indent=2)
            out.write("\n")


def _met(value, target, at_least):
    if target is None:
        return None
    return value >= target if at_least else value <= target


def _times_dict(times):
    return {label.replace(" ", "_") + (f"_{unit}" if unit else ""): round(number, 6)
            for label, number, unit in times}


def _number(value, unit):
    if unit == "ratio":
        return f"{value:.3f}"
    return f"{value:.1f} {unit}"


def _time_text(item):
    label, number, unit = item
    return f"{label} {number:.4g} {unit}"
