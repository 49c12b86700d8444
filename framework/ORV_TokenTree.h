// ORV_TokenTree.h - the brace-structured text reader.
//
// A text is cut in place into NUL-terminated tokens; a token followed by a
// block "{ ... }" has the tokens inside the block as its children. The tree
// is a flat array of token pointers, and a Token is a small value naming one
// position of it, so nothing is allocated per token.
#ifndef ORV_TOKEN_TREE_H
#define ORV_TOKEN_TREE_H

#include "ORV.h"

#include <cstdint>

namespace ORV {

class TokenTree {
public:
    // One position in a tree. The null token (every field zero) stands for
    // "no token". A Token owns nothing and is valid as long as its tree.
    class Token {
    public:
        Token() : mpText(nullptr), mpTree(nullptr), mIndex(0) {}
        Token(char* pText, TokenTree* pTree, uint32_t index)
            : mpText(pText), mpTree(pTree), mIndex(index) {}

        bool IsNull() const { return mpText == nullptr && mpTree == nullptr && mIndex == 0; }
        // The first token of the block after this one, or null (no block, or
        // an empty one).
        Token Child() const;
        // The next token of the same block, skipping this token's blocks, or
        // null after the last one.
        Token Next() const;
        // Number of children; linear in the size of the block.
        uint32_t ChildNum() const;
        // Converts this token and the siblings after it, at most num of them
        // (num 0: all), into pArray; returns how many were written. Integers
        // convert like atoi but saturate at the int range; floats like atof,
        // narrowed to float.
        uint32_t AsArray(int* pArray, uint32_t num) const;
        uint32_t AsArray(float* pArray, uint32_t num) const;

        char* mpText;  // the token's text inside the tree's buffer
        TokenTree* mpTree;
        uint32_t mIndex;  // position in mppToken
    };

    // Reads a whole file and builds its tree, which owns the file's bytes.
    // Null when the file cannot be opened or holds no closed outermost block.
    // Format errors halt with their line number.
    static TokenTree* Load(const char* pFilename);
    // Builds a tree over a writable NUL-terminated text, cutting it in place;
    // the text stays the caller's and must outlive the tree. Null for a null
    // text or one without a closed outermost block.
    static TokenTree* Create(char* pText);
    // Releases a tree (and the buffer Load read); accepts null.
    static void Destroy(TokenTree* pTree);

    // The first token at or below start, in text order, whose text equals
    // pData ignoring ASCII case; with the null start, the whole tree. Start's
    // later siblings are not searched. Linear in the part searched.
    Token Find(const char* pData, Token start = Token());
    // Find over the whole tree for num texts at once: pFound[k] receives
    // Find(ppData[k]). One walk of the tree, however many texts.
    void FindEach(const char* const* ppData, uint32_t num, Token* pFound);

    TokenTree() : mpRoot(nullptr), mppToken(nullptr), mTokenNum(0), mpBuffer(nullptr) {}

private:
    // The tokenizer's place in a text; both passes of Create use it.
    struct Cursor {
        char* pPos;          // where the next token is looked for
        uint32_t line;       // line of pPos, from 1
        uint32_t tokenLine;  // line where the last token began
        char* pBegin;        // the last token's text
        char* pEnd;          // the byte that ends it (closing quote or separator)
    };
    // Finds the next token after c.pPos, skipping separators and comments;
    // false at the end of the text. Halts on a format error.
    static bool nextToken(Cursor& c);
    // Calls visit(j) for the positions Find visits from first (the whole
    // tree when wholeTree), in Find's order, until it returns true.
    template <typename Visit>
    void visitInFindOrder(uint32_t first, bool wholeTree, Visit visit) const;

public:
    Token* mpRoot;    // the token at index 0, owned
    char** mppToken;  // mTokenNum pointers into the text, owned
    uint32_t mTokenNum;
    char* mpBuffer;  // the text when the tree owns it (Load), else null
};

}  // namespace ORV

#endif
