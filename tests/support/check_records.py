#!/usr/bin/python3
"""Checks JSON Lines records against the schema block of docs/json-record.md:
every member of every record must be listed there with its type.

  check_records.py SCHEMA_MD RECORDS_FILE
"""
import json
import re
import sys

schema_md, records_file = sys.argv[1:3]
block = re.search(r"```schema\n(.*?)```", open(schema_md, encoding="utf-8").read(), re.S).group(1)
schema = dict(line.split() for line in block.splitlines() if line.strip())
types = {str: "string", bool: "boolean", int: "integer", float: "number", dict: "object", list: "array"}
faults = []

def walk(value, path):
    kind = types[type(value)]
    # "steps[].rdap" holds an RDAP answer as it came: its members are the registry's.
    if path.startswith("steps[].rdap"):
        return
    if schema.get(path) != kind:
        faults.append("%s: %s, schema says %s" % (path, kind, schema.get(path, "nothing")))
    if isinstance(value, dict):
        for key, member in value.items():
            walk(member, key if not path else path + "." + key)
    elif isinstance(value, list):
        for item in value:
            walk(item, path + "[]")

count = 0
for line in open(records_file, encoding="utf-8"):
    record = json.loads(line)
    if not isinstance(record, dict):
        faults.append("a line that is no object")
        continue
    for key, member in record.items():
        walk(member, key)
    count += 1
for fault in sorted(set(faults)):
    print(fault)
sys.exit(1 if faults or count == 0 else 0)
