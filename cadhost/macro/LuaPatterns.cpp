// string.find, string.match, string.gmatch and string.gsub for the macro sandbox. Lua's
// own versions run in C, where the count hook that stops a runaway macro never fires:
// a pathological pattern (string.find(("a"):rep(40), ("a*"):rep(40) .. "b")) backtracks
// for hours. These follow Lua 5.4's pattern rules exactly, but count the steps of the
// matcher and look at the macro's clock every few thousand of them.
//
// Errors are raised with luaL_error, which leaves these functions by longjmp: nothing
// here has a destructor to skip, which is what makes that safe.
#include "cadhost/macro/LuaProject.h"

#include <cctype>
#include <cstddef>
#include <cstring>
#include <lua.hpp>

namespace cadhost {
namespace {

// As Lua's own library allows (LUA_MAXCAPTURES in its build).
constexpr int kMaxCaptures = 32;
// Lua's own bound on the matcher's recursion, which keeps it off the end of the C stack.
constexpr int kMaxMatchDepth = 200;
// Steps of the matcher between two looks at the clock: a few microseconds of matching,
// so a stop comes within milliseconds of the limit and the clock costs nothing.
constexpr unsigned kStepsPerClockCheck = 4096;
constexpr ptrdiff_t kCapUnfinished = -1;
constexpr ptrdiff_t kCapPosition = -2;
constexpr char kEsc = '%';
constexpr const char* kSpecials = "^$*+?.([%-";

struct MatchState {
    const char* srcInit;
    const char* srcEnd;
    const char* pEnd;
    lua_State* L;
    int matchDepth;
    int level;
    unsigned steps;
    struct {
        const char* init;
        ptrdiff_t len;
    } capture[kMaxCaptures];
};

inline int uchar(char c) {
    return static_cast<unsigned char>(c);
}

void step(MatchState* ms) {
    if (++ms->steps % kStepsPerClockCheck == 0)
        LuaProject::checkTime(ms->L);
}

const char* match(MatchState* ms, const char* s, const char* p);

int checkCapture(MatchState* ms, int l) {
    l -= '1';
    if (l < 0 || l >= ms->level || ms->capture[l].len == kCapUnfinished)
        return luaL_error(ms->L, "invalid capture index %%%d", l + 1);
    return l;
}

int captureToClose(MatchState* ms) {
    for (int level = ms->level - 1; level >= 0; --level)
        if (ms->capture[level].len == kCapUnfinished)
            return level;
    return luaL_error(ms->L, "invalid pattern capture");
}

const char* classEnd(MatchState* ms, const char* p) {
    switch (*p++) {
    case kEsc:
        if (p == ms->pEnd)
            luaL_error(ms->L, "malformed pattern (ends with '%%')");
        return p + 1;
    case '[':
        if (*p == '^')
            p++;
        do { // look for a ']'
            if (p == ms->pEnd)
                luaL_error(ms->L, "malformed pattern (missing ']')");
            if (*(p++) == kEsc && p < ms->pEnd)
                p++; // skip escapes (e.g. '%]')
        } while (*p != ']');
        return p + 1;
    default:
        return p;
    }
}

bool matchClass(int c, int cl) {
    bool res;
    switch (std::tolower(cl)) {
    case 'a':
        res = std::isalpha(c);
        break;
    case 'c':
        res = std::iscntrl(c);
        break;
    case 'd':
        res = std::isdigit(c);
        break;
    case 'g':
        res = std::isgraph(c);
        break;
    case 'l':
        res = std::islower(c);
        break;
    case 'p':
        res = std::ispunct(c);
        break;
    case 's':
        res = std::isspace(c);
        break;
    case 'u':
        res = std::isupper(c);
        break;
    case 'w':
        res = std::isalnum(c);
        break;
    case 'x':
        res = std::isxdigit(c);
        break;
    case 'z': // Lua 5.1's class for the zero byte, which 5.4 still understands
        res = c == 0;
        break;
    default:
        return cl == c;
    }
    return std::isupper(cl) ? !res : res;
}

bool matchBracketClass(int c, const char* p, const char* ec) {
    bool sig = true;
    if (*(p + 1) == '^') {
        sig = false;
        p++;
    }
    while (++p < ec) {
        if (*p == kEsc) {
            p++;
            if (matchClass(c, uchar(*p)))
                return sig;
        } else if (*(p + 1) == '-' && p + 2 < ec) {
            p += 2;
            if (uchar(*(p - 2)) <= c && c <= uchar(*p))
                return sig;
        } else if (uchar(*p) == c) {
            return sig;
        }
    }
    return !sig;
}

bool singleMatch(MatchState* ms, const char* s, const char* p, const char* ep) {
    if (s >= ms->srcEnd)
        return false;
    const int c = uchar(*s);
    switch (*p) {
    case '.':
        return true;
    case kEsc:
        return matchClass(c, uchar(*(p + 1)));
    case '[':
        return matchBracketClass(c, p, ep - 1);
    default:
        return uchar(*p) == c;
    }
}

const char* matchBalance(MatchState* ms, const char* s, const char* p) {
    if (p >= ms->pEnd - 1)
        luaL_error(ms->L, "malformed pattern (missing arguments to '%%b')");
    if (s >= ms->srcEnd || *s != *p)
        return nullptr;
    const int b = *p, e = *(p + 1);
    int cont = 1;
    while (++s < ms->srcEnd) {
        if (*s == e) {
            if (--cont == 0)
                return s + 1;
        } else if (*s == b) {
            cont++;
        }
    }
    return nullptr;
}

const char* maxExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    ptrdiff_t i = 0;
    while (singleMatch(ms, s + i, p, ep))
        i++;
    // Tries the longest run first, giving back one item at a time.
    for (; i >= 0; --i) {
        if (const char* res = match(ms, s + i, ep + 1))
            return res;
    }
    return nullptr;
}

const char* minExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    for (;;) {
        if (const char* res = match(ms, s, ep + 1))
            return res;
        if (!singleMatch(ms, s, p, ep))
            return nullptr;
        s++;
    }
}

const char* startCapture(MatchState* ms, const char* s, const char* p, ptrdiff_t what) {
    const int level = ms->level;
    if (level >= kMaxCaptures)
        luaL_error(ms->L, "too many captures");
    ms->capture[level].init = s;
    ms->capture[level].len = what;
    ms->level = level + 1;
    const char* res = match(ms, s, p);
    if (!res)
        ms->level--;
    return res;
}

const char* endCapture(MatchState* ms, const char* s, const char* p) {
    const int l = captureToClose(ms);
    ms->capture[l].len = s - ms->capture[l].init;
    const char* res = match(ms, s, p);
    if (!res)
        ms->capture[l].len = kCapUnfinished;
    return res;
}

const char* matchCapture(MatchState* ms, const char* s, int l) {
    l = checkCapture(ms, l);
    const auto len = std::size_t(ms->capture[l].len);
    if (std::size_t(ms->srcEnd - s) >= len && std::memcmp(ms->capture[l].init, s, len) == 0)
        return s + len;
    return nullptr;
}

const char* match(MatchState* ms, const char* s, const char* p) {
    step(ms);
    if (ms->matchDepth-- == 0)
        luaL_error(ms->L, "pattern too complex");
    while (p != ms->pEnd) {
        bool again = false; // the pattern goes on at p with s: the tail call of Lua's matcher
        switch (*p) {
        case '(':
            s = *(p + 1) == ')' ? startCapture(ms, s, p + 2, kCapPosition)
                                : startCapture(ms, s, p + 1, kCapUnfinished);
            break;
        case ')':
            s = endCapture(ms, s, p + 1);
            break;
        case '$':
            if (p + 1 != ms->pEnd)
                goto plain;
            s = s == ms->srcEnd ? s : nullptr;
            break;
        case kEsc:
            switch (*(p + 1)) {
            case 'b':
                s = matchBalance(ms, s, p + 2);
                if (s) {
                    p += 4;
                    again = true;
                }
                break;
            case 'f': {
                p += 2;
                if (*p != '[')
                    luaL_error(ms->L, "missing '[' after '%%f' in pattern");
                const char* ep = classEnd(ms, p);
                const char previous = s == ms->srcInit ? '\0' : *(s - 1);
                if (!matchBracketClass(uchar(previous), p, ep - 1) &&
                    matchBracketClass(uchar(*s), p, ep - 1)) {
                    p = ep;
                    again = true;
                } else {
                    s = nullptr;
                }
                break;
            }
            case '0':
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7':
            case '8':
            case '9':
                s = matchCapture(ms, s, uchar(*(p + 1)));
                if (s) {
                    p += 2;
                    again = true;
                }
                break;
            default:
                goto plain;
            }
            break;
        default:
        plain : {
            const char* ep = classEnd(ms, p);
            if (!singleMatch(ms, s, p, ep)) {
                if (*ep == '*' || *ep == '?' || *ep == '-') {
                    p = ep + 1;
                    again = true;
                } else {
                    s = nullptr;
                }
            } else {
                switch (*ep) {
                case '?': {
                    if (const char* res = match(ms, s + 1, ep + 1)) {
                        s = res;
                    } else {
                        p = ep + 1;
                        again = true;
                    }
                    break;
                }
                case '+':
                    s = maxExpand(ms, s + 1, p, ep);
                    break;
                case '*':
                    s = maxExpand(ms, s, p, ep);
                    break;
                case '-':
                    s = minExpand(ms, s, p, ep);
                    break;
                default:
                    s++;
                    p = ep;
                    again = true;
                }
            }
            break;
        }
        }
        if (!again)
            break;
        step(ms);
    }
    ms->matchDepth++;
    return s;
}

ptrdiff_t getOneCapture(MatchState* ms, int i, const char* s, const char* e, const char** cap) {
    if (i >= ms->level) {
        if (i != 0)
            luaL_error(ms->L, "invalid capture index %%%d", i + 1);
        *cap = s;
        return e - s;
    }
    const ptrdiff_t capl = ms->capture[i].len;
    *cap = ms->capture[i].init;
    if (capl == kCapUnfinished)
        luaL_error(ms->L, "unfinished capture");
    else if (capl == kCapPosition)
        lua_pushinteger(ms->L, (ms->capture[i].init - ms->srcInit) + 1);
    return capl;
}

void pushOneCapture(MatchState* ms, int i, const char* s, const char* e) {
    const char* cap;
    const ptrdiff_t l = getOneCapture(ms, i, s, e, &cap);
    if (l != kCapPosition)
        lua_pushlstring(ms->L, cap, std::size_t(l));
}

int pushCaptures(MatchState* ms, const char* s, const char* e) {
    const int levels = (ms->level == 0 && s) ? 1 : ms->level;
    luaL_checkstack(ms->L, levels, "too many captures");
    for (int i = 0; i < levels; i++)
        pushOneCapture(ms, i, s, e);
    return levels;
}

bool noSpecials(const char* p, std::size_t l) {
    std::size_t upto = 0;
    do {
        if (std::strpbrk(p + upto, kSpecials))
            return false;
        upto += std::strlen(p + upto) + 1; // may have more after a '\0'
    } while (upto <= l);
    return true;
}

void prepare(MatchState* ms, lua_State* L, const char* s, std::size_t ls, const char* p,
             std::size_t lp) {
    ms->L = L;
    ms->matchDepth = kMaxMatchDepth;
    ms->srcInit = s;
    ms->srcEnd = s + ls;
    ms->pEnd = p + lp;
    ms->steps = 0;
    ms->level = 0;
}

std::size_t startPosition(lua_Integer pos, std::size_t len) {
    if (pos > 0)
        return std::size_t(pos);
    if (pos == 0 || pos < -lua_Integer(len))
        return 1;
    return len + std::size_t(pos) + 1;
}

// A plain search is quadratic at worst too (a long needle that almost matches
// everywhere), so it counts its comparisons as well.
const char* plainFind(lua_State* L, const char* s, std::size_t ls, const char* p, std::size_t lp) {
    if (lp == 0)
        return s;
    if (lp > ls)
        return nullptr;
    MatchState clock{};
    clock.L = L;
    const char* const last = s + (ls - lp);
    for (const char* at = s; at <= last; ++at) {
        at = static_cast<const char*>(std::memchr(at, *p, std::size_t(last - at) + 1));
        if (!at)
            return nullptr;
        if (std::memcmp(at + 1, p + 1, lp - 1) == 0)
            return at;
        for (std::size_t cost = 0; cost <= lp / 64; ++cost)
            step(&clock);
    }
    return nullptr;
}

int findAux(lua_State* L, bool find) {
    std::size_t ls, lp;
    const char* s = luaL_checklstring(L, 1, &ls);
    const char* p = luaL_checklstring(L, 2, &lp);
    const std::size_t init = startPosition(luaL_optinteger(L, 3, 1), ls) - 1;
    if (init > ls) {
        luaL_pushfail(L);
        return 1;
    }
    if (find && (lua_toboolean(L, 4) || noSpecials(p, lp))) {
        if (const char* s2 = plainFind(L, s + init, ls - init, p, lp)) {
            lua_pushinteger(L, (s2 - s) + 1);
            lua_pushinteger(L, lua_Integer((s2 - s) + lp));
            return 2;
        }
    } else {
        MatchState ms;
        const char* s1 = s + init;
        const bool anchor = *p == '^';
        if (anchor) {
            p++;
            lp--;
        }
        prepare(&ms, L, s, ls, p, lp);
        do {
            ms.level = 0;
            if (const char* res = match(&ms, s1, p)) {
                if (find) {
                    lua_pushinteger(L, (s1 - s) + 1);
                    lua_pushinteger(L, res - s);
                    return pushCaptures(&ms, nullptr, nullptr) + 2;
                }
                return pushCaptures(&ms, s1, res);
            }
        } while (s1++ < ms.srcEnd && !anchor);
    }
    luaL_pushfail(L);
    return 1;
}

int strFind(lua_State* L) {
    return findAux(L, true);
}

int strMatch(lua_State* L) {
    return findAux(L, false);
}

struct GMatchState {
    const char* src;
    const char* p;
    const char* lastMatch;
    MatchState ms;
};

int gmatchAux(lua_State* L) {
    auto* gm = static_cast<GMatchState*>(lua_touserdata(L, lua_upvalueindex(3)));
    gm->ms.L = L;
    for (const char* src = gm->src; src <= gm->ms.srcEnd; src++) {
        gm->ms.level = 0;
        const char* e = match(&gm->ms, src, gm->p);
        if (e && e != gm->lastMatch) {
            gm->src = gm->lastMatch = e;
            return pushCaptures(&gm->ms, src, e);
        }
    }
    return 0;
}

int strGmatch(lua_State* L) {
    std::size_t ls, lp;
    const char* s = luaL_checklstring(L, 1, &ls);
    const char* p = luaL_checklstring(L, 2, &lp);
    std::size_t init = startPosition(luaL_optinteger(L, 3, 1), ls) - 1;
    lua_settop(L, 2); // the strings stay with the closure, safe from the collector
    auto* gm = static_cast<GMatchState*>(lua_newuserdatauv(L, sizeof(GMatchState), 0));
    if (init > ls)
        init = ls + 1; // start after the end: no match
    prepare(&gm->ms, L, s, ls, p, lp);
    gm->src = s + init;
    gm->p = p;
    gm->lastMatch = nullptr;
    lua_pushcclosure(L, gmatchAux, 3);
    return 1;
}

void addString(MatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    lua_State* L = ms->L;
    std::size_t l;
    const char* news = lua_tolstring(L, 3, &l);
    const char* p;
    while ((p = static_cast<const char*>(std::memchr(news, kEsc, l))) != nullptr) {
        luaL_addlstring(b, news, std::size_t(p - news));
        p++; // the escape
        if (*p == kEsc) {
            luaL_addchar(b, *p);
        } else if (*p == '0') {
            luaL_addlstring(b, s, std::size_t(e - s));
        } else if (std::isdigit(uchar(*p))) {
            const char* cap;
            const ptrdiff_t resl = getOneCapture(ms, *p - '1', s, e, &cap);
            if (resl == kCapPosition)
                luaL_addvalue(b);
            else
                luaL_addlstring(b, cap, std::size_t(resl));
        } else {
            luaL_error(L, "invalid use of '%c' in replacement string", kEsc);
        }
        l -= std::size_t(p + 1 - news);
        news = p + 1;
    }
    luaL_addlstring(b, news, l);
}

bool addValue(MatchState* ms, luaL_Buffer* b, const char* s, const char* e, int tr) {
    lua_State* L = ms->L;
    switch (tr) {
    case LUA_TFUNCTION: {
        lua_pushvalue(L, 3);
        const int n = pushCaptures(ms, s, e);
        lua_call(L, n, 1);
        break;
    }
    case LUA_TTABLE:
        pushOneCapture(ms, 0, s, e);
        lua_gettable(L, 3);
        break;
    default:
        addString(ms, b, s, e);
        return true;
    }
    if (!lua_toboolean(L, -1)) { // nil or false: keep the original text
        lua_pop(L, 1);
        luaL_addlstring(b, s, std::size_t(e - s));
        return false;
    }
    if (!lua_isstring(L, -1))
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    luaL_addvalue(b);
    return true;
}

int strGsub(lua_State* L) {
    std::size_t srcl, lp;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checklstring(L, 2, &lp);
    const char* lastMatch = nullptr;
    const int tr = lua_type(L, 3);
    const lua_Integer maxS = luaL_optinteger(L, 4, lua_Integer(srcl) + 1);
    const bool anchor = *p == '^';
    lua_Integer n = 0;
    bool changed = false;
    MatchState ms;
    luaL_Buffer b;
    luaL_argexpected(
        L, tr == LUA_TNUMBER || tr == LUA_TSTRING || tr == LUA_TFUNCTION || tr == LUA_TTABLE, 3,
        "string/function/table");
    luaL_buffinit(L, &b);
    if (anchor) {
        p++;
        lp--;
    }
    prepare(&ms, L, src, srcl, p, lp);
    while (n < maxS) {
        ms.level = 0;
        const char* e = match(&ms, src, p);
        if (e && e != lastMatch) {
            n++;
            changed = addValue(&ms, &b, src, e, tr) || changed;
            src = lastMatch = e;
        } else if (src < ms.srcEnd) {
            luaL_addchar(&b, *src++);
        } else {
            break;
        }
        if (anchor)
            break;
    }
    if (!changed) {
        lua_pushvalue(L, 1);
    } else {
        luaL_addlstring(&b, src, std::size_t(ms.srcEnd - src));
        luaL_pushresult(&b);
    }
    lua_pushinteger(L, n);
    return 2;
}

} // namespace

void installBoundedPatterns(lua_State* L) {
    static const luaL_Reg kFunctions[] = {{"find", strFind},
                                          {"match", strMatch},
                                          {"gmatch", strGmatch},
                                          {"gsub", strGsub},
                                          {nullptr, nullptr}};
    // The string table is also the strings' metatable's __index, so s:find(...) is
    // served by these too.
    lua_getglobal(L, LUA_STRLIBNAME);
    luaL_setfuncs(L, kFunctions, 0);
    lua_pop(L, 1);
}

} // namespace cadhost
