"""Keeps the soak run's, the DF watchdog's, the load fairness step's, the burst's, the live feed's, the
request cost's and the fix ellipse's own reports (bench/soak.md, bench/watchdog.md, bench/fairness.md,
bench/burst.md, bench/feed.md, bench/cost.md, bench/fix.md) in bench/results.md too, each as a section of
its own, so the one results page shows them beside the bench's figures whichever ran last."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
RESULTS = os.path.join(HERE, "results.md")
REPORTS = ("watchdog.md", "soak.md", "fairness.md", "burst.md", "feed.md", "cost.md", "fix.md")


def as_section(name):
    """The report one heading level down: its title becomes a section of results.md."""
    with open(os.path.join(HERE, name)) as f:
        lines = f.read().rstrip().split("\n")
    return ["#" + line if line.startswith("#") else line for line in lines]


def update(name):
    """Replaces the report's section in results.md, or adds it at the end."""
    section = as_section(name)
    lines = []
    if os.path.exists(RESULTS):
        with open(RESULTS) as f:
            lines = f.read().rstrip().split("\n")
    if section[0] in lines:
        start = lines.index(section[0])
        end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("## ")), len(lines))
        lines = lines[:start] + section + [""] + lines[end:]
    else:
        lines = lines + [""] + section
    with open(RESULTS, "w") as f:
        f.write("\n".join(lines).rstrip() + "\n")


def update_all():
    for name in REPORTS:
        if os.path.exists(os.path.join(HERE, name)):
            update(name)
