import os
from pathlib import Path

import pytest

# The programs' outputs: those committed, or those make_reference.py wrote into CONTMON_REFERENCE.
REFERENCE = Path(os.environ.get("CONTMON_REFERENCE") or Path(__file__).resolve().parent / "reference")


@pytest.fixture
def reference(monkeypatch):
    """The folder of the programs' JSON, made the working folder so that rule files have the names they had."""
    monkeypatch.chdir(REFERENCE)
    return REFERENCE
