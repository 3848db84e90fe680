#pragma once

// A help file: plain text in sections, each headed by a line "[name]".  A
// dialog's help is the section named after its prompt, with every run of
// digits written as one '#' (so "/adapter1/disk" reads "[/adapter#/disk]");
// without such a section the one named "[*]" serves, and without that the
// whole file.
class CHelpFile
{
public:
    CHelpFile() = default;
    ~CHelpFile();
    CHelpFile(const CHelpFile&) = delete;
    CHelpFile& operator=(const CHelpFile&) = delete;

    // Reads the file; false when it cannot be read.
    bool Load(const char* path);
    // Takes a copy of text instead of a file.
    void SetText(const char* text, int length);

    // The help for a dialog prompt: start and length of the text.
    void Find(const char* prompt, const char** start, int* length) const;

    // The section name of a prompt, cut to fit `size` bytes.
    static void MakeKey(const char* prompt, char* key, int size);

private:
    bool FindSection(const char* name, const char** start, int* length) const;

    char* m_pText = nullptr;
    int m_nLength = 0;
};
