// District lists that are not strict XML but that the launcher reads whole, each with the
// name its one district reads as: the XML reader's tests and the district list tool's
// check both run through them, since the tool must accept what the launcher reads.
#pragma once

struct LenientList {
  const char* xml;
  const char* name;
};

const LenientList kLenientLists[] = {
    {"<District><D><name>A&amp;B</name></D></District>", "A&B"},
    {"<District><D><name>a&nbsp;b</name></D></District>", "a&nbsp;b"},  // unknown: kept
    {"text before it<District><D><name>t</name></D></District>", "t"},  // skipped
    {"<District><D><name>A & B</name></D></District>", "A & B"},
};
