// The Vellumark web player: plays a ClearBook exported as a web page, in the browser, from the
// JSON document the page holds (the shape `vkctl book export-json` writes, with each object's
// look worked out by the exporter and its media copied beside the page).
//
// The timeline runs as the desktop's play engine runs it: a play list of object bars and flags,
// a 100 ms play timer, a 20 ms loop timer and a hold timer, on a clock whose timers fire in due
// order. In the browser that clock follows real time; in Node (`runTrace`) it is virtual and
// every event is written as `vkctl book play --trace` writes it, so the two can be compared
// line by line.
//
// All times are integers in hundredths of a second (cs) unless a name says milliseconds.
(function (root, factory) {
    if (typeof module === 'object' && module.exports)
        module.exports = factory();
    else
        root.Vellumark = factory();
})(typeof self !== 'undefined' ? self : this, function () {
    'use strict';

    const INT_MIN = -2147483648;
    const INT_MAX = 2147483647;
    const saturated = (v) => Math.min(INT_MAX, Math.max(INT_MIN, v));
    const div = (a, b) => Math.trunc(a / b); // integer division, toward zero

    // ------------------------------------------------------------------------------------------
    // The clock: timers that fire in order of their due time, those due together in the order
    // they were armed; the next interval counts from the end of the one before.

    class Clock {
        constructor() {
            this.nowMs = 0;
            this.sequence = 0;
            this.timers = [];
        }
        now() {
            return this.nowMs;
        }
        createTimer(onTimeout) {
            const clock = this;
            const t = {
                interval: 1000,
                enabled: false,
                due: 0,
                sequence: 0,
                arm() {
                    this.due = clock.nowMs + this.interval;
                    this.sequence = ++clock.sequence;
                },
                setInterval(ms) {
                    this.interval = Math.max(1, ms);
                    if (this.enabled)
                        this.arm();
                },
                setEnabled(on) {
                    if (on === this.enabled)
                        return;
                    this.enabled = on;
                    if (on)
                        this.arm();
                },
                fire() {
                    this.sequence = ++clock.sequence;
                    this.due += this.interval;
                    onTimeout();
                },
            };
            this.timers.push(t);
            return t;
        }
        setNow(ms) {
            this.nowMs = Math.max(this.nowMs, ms);
        }
        nextTimer() {
            let next = null;
            for (const t of this.timers)
                if (t.enabled && (!next || t.due < next.due || (t.due === next.due && t.sequence < next.sequence)))
                    next = t;
            return next;
        }
        nextDue() {
            const t = this.nextTimer();
            return t ? t.due : -1;
        }
        fireNext(limit) {
            const t = this.nextTimer();
            if (!t || t.due > limit)
                return false;
            this.nowMs = Math.max(this.nowMs, t.due);
            t.fire();
            return true;
        }
        advanceTo(ms) {
            while (this.fireNext(ms)) {
            }
            this.setNow(ms);
        }
    }

    // ------------------------------------------------------------------------------------------
    // The book as the player holds it

    const isImageKind = (k) => k >= 0 && k <= 98;
    const isAudioKind = (k) => k >= 100 && k <= 199;
    const isVideoKind = (k) => k >= 200 && k <= 299;
    const isPlayedMedia = (o) => isAudioKind(o.kind) || isVideoKind(o.kind);
    const isShapeKind = (k) => k >= 450 && k <= 460;

    const Kind = { LoopStart: 0, LoopEnd: 1, Jump: 2, Label: 3, Delay: 4, Pause: 5, Stop: 6, ObjectShow: 7, ObjectHide: 8 };
    // Flag_Type_Id as stored: LoopStart 0, Jump 1, Label 2, Delay 3, Stop 4, Pause 5.
    const StoredKinds = [Kind.LoopStart, Kind.Jump, Kind.Label, Kind.Delay, Kind.Stop, Kind.Pause];

    const intOf = (v) => (typeof v === 'number' && isFinite(v) ? Math.trunc(v) : 0);

    // A link or ending as a ClearBook id and a slide id or code (0 none, -1 next, -2 previous,
    // -3 backward, -4 replay); `slideIndex` for a slide of this book.
    function linkOf(value) {
        if (value === null || value === undefined || value === 'pause')
            return { slideId: 0 };
        const words = { next: -1, sequence: -1, previous: -2, back: -3, replay: -4, repeat: -4 };
        if (typeof value === 'string')
            return { slideId: words[value] !== undefined ? words[value] : 0 };
        if (typeof value === 'object' && typeof value.slide === 'number')
            return { slideId: 1, slideIndex: value.slide };
        if (typeof value === 'object' && typeof value.slideId === 'number')
            return { slideId: Math.max(1, intOf(value.slideId)), clearBookId: intOf(value.clearBookId), other: true };
        return { slideId: 0 };
    }

    // The book, and with it every ClearBook its links lead into (`library`).
    function loadBook(doc) {
        const main = loadOneBook(doc);
        main.library = [main];
        for (const other of Array.isArray(doc.linkedBooks) ? doc.linkedBooks : []) {
            const book = loadOneBook(other);
            book.library = main.library;
            main.library.push(book);
        }
        return main;
    }

    function loadOneBook(doc) {
        const book = { id: intOf(doc.clearBookId), title: String(doc.title || ''), slides: [] };
        (doc.slides || []).forEach((s, index) => {
            const slide = {
                book,
                index,
                slideId: intOf(s.slideId),
                title: String(s.title || ''),
                ending: linkOf(s.ending),
                look: s.look || {},
                objects: [],
                flagRows: Array.isArray(s.flags) ? s.flags : [],
            };
            (s.objects || []).forEach((x) => {
                const look = x.look || {};
                slide.objects.push({
                    slide,
                    kind: intOf(x.kind),
                    title: String(x.title || ''),
                    caption: String(x.caption || ''),
                    barLeft: intOf(x.barLeft),
                    barWidth: intOf(x.barWidth),
                    designOrder: intOf(x.designOrder),
                    link: linkOf(x.link),
                    disabled: !!look.disabled,
                    look,
                    source: x,
                });
            });
            book.slides.push(slide);
        });
        return book;
    }

    // The slide's flags as the flag list loads them: in start-time order, each loop followed by
    // its end, which is named after it with "(End)" and stands at the loop's end time.
    function loadFlags(slide) {
        const rows = slide.flagRows
            .map((r, i) => ({ r, i }))
            .filter(({ r }) => Number.isInteger(r.type) && r.type >= 0 && r.type <= 5)
            .sort((a, b) => intOf(a.r.startTime) - intOf(b.r.startTime) || intOf(a.r.id) - intOf(b.r.id) || a.i - b.i);
        const flags = [];
        for (const { r } of rows) {
            const flag = {
                name: String(r.name || ''),
                kind: StoredKinds[r.type],
                startTime: intOf(r.startTime),
                loopEnd: intOf(r.loopEnd),
                jumpTo: String(r.jumpTo || ''),
                active: intOf(r.activeType) === 1,
                timeAssociated: intOf(r.timeAssociated),
            };
            flags.push(flag);
            if (flag.kind === Kind.LoopStart)
                flags.push(Object.assign({}, flag, {
                    kind: Kind.LoopEnd,
                    name: flag.name + '(End)',
                    startTime: flag.loopEnd,
                    loopEnd: flag.startTime,
                }));
        }
        return flags;
    }

    function partner(flags, flag) {
        const i = flags.indexOf(flag);
        if (i < 0)
            return null;
        if (flag.kind === Kind.LoopStart) {
            const next = flags[i + 1];
            return next && next.kind === Kind.LoopEnd ? next : null;
        }
        if (flag.kind === Kind.LoopEnd) {
            const previous = flags[i - 1];
            return previous && previous.kind === Kind.LoopStart ? previous : null;
        }
        return null;
    }

    function slideMaxTime(slide) {
        let end = 0;
        for (const o of slide.objects)
            end = Math.max(end, o.barLeft + o.barWidth);
        return saturated(end);
    }

    // ------------------------------------------------------------------------------------------
    // The play list of a slide and everything that plays it

    class PlayList {
        constructor(clock, views) {
            this.clock = clock;
            this.views = views;
            this.playTimer = clock.createTimer(() => this.clockTick());
            this.playTimer.setInterval(100);
            this.loopTimer = clock.createTimer(() => this.loopTimerTick());
            this.loopTimer.setInterval(20);
            this.holdTimer = clock.createTimer(() => {
                if (this.holding && this.clock.now() >= this.holdUntil)
                    this.endHold();
            });
            this.entries = [];
            this.loops = [];
            this.players = new Map();
            this.playingMedia = [];
            this.slide = null;
            this.flags = [];
            this.maxTime = 0;
            this.playClock = 0;
            this.clockOffset = 0;
            this.currentIndex = 0;
            this.currentEntry = null;
            this.loopStartTick = 0;
            this.resetClock = false;
            this.pauseTick = 0;
            this.startTick = 0;
            this.paused = false;
            this.resumeOnKey = false;
            this.inTick = false;
            this.playing = false;
            this.holding = false;
            this.holdFlag = null;
            this.holdUntil = 0;
            this.holdLeft = 0;
        }

        event(what, flag, value) {
            if (this.views.playEvent)
                this.views.playEvent(what, flag || null, value || 0);
        }
        entryAt(i) {
            return i >= 0 && i < this.entries.length ? this.entries[i] : null;
        }
        setCurrent(i) {
            this.currentIndex = i;
            this.currentEntry = this.entryAt(i);
        }

        build(slide, flags) {
            this.holding = false;
            this.holdFlag = null;
            this.holdTimer.setEnabled(false);
            this.entries = [];
            this.loops = [];
            this.players = new Map();
            this.playingMedia = [];
            this.setCurrent(0);
            this.slide = slide;
            this.flags = flags;
            this.maxTime = slideMaxTime(slide);
            // Each entry goes after every entry of its time already in: objects before flags.
            const insert = (e) => {
                let at = this.entries.length;
                while (at > 0 && this.entries[at - 1].time > e.time)
                    --at;
                this.entries.splice(at, 0, e);
            };
            for (const o of slide.objects) {
                if (o.disabled)
                    continue;
                if (isPlayedMedia(o)) {
                    const player = this.views.openMedia ? this.views.openMedia(o) : null;
                    if (!player)
                        continue;
                    this.players.set(o, player);
                }
                insert({ object: o, flag: null, time: o.barLeft, kind: Kind.ObjectShow, link: null });
                insert({ object: o, flag: null, time: saturated(o.barLeft + o.barWidth), kind: Kind.ObjectHide, link: null });
            }
            for (const flag of flags)
                insert({ object: null, flag, time: flag.startTime, kind: flag.kind, link: null });
            this.entries.forEach((e, i) => (e.position = i));
            this.loopTimer.setEnabled(false);
            this.loops = [];
            this.setCurrent(0);
        }

        link() {
            const byFlag = new Map();
            for (const e of this.entries)
                if (e.flag)
                    byFlag.set(e.flag, e);
            for (const e of this.entries) {
                if (e.kind === Kind.Jump) {
                    const destination = this.flags.find((f) => f.name === e.flag.jumpTo) || null;
                    e.link = byFlag.get(destination) || null;
                } else if (e.kind === Kind.LoopStart || e.kind === Kind.LoopEnd) {
                    // A loop without its end plays as no loop.
                    e.link = byFlag.get(partner(this.flags, e.flag)) || null;
                }
            }
        }

        start() {
            this.setCurrent(0);
            this.clockOffset = 0;
            this.resetClock = true;
            this.playClock = 0;
            this.holding = false;
            this.holdFlag = null;
            this.holdTimer.setEnabled(false);
            this.loops = [];
            this.loopTimer.setEnabled(false);
            this.playingMedia = [];
            this.paused = false;
            this.loopStartTick = 0;
            this.inTick = false;
            this.playing = true;
            this.playTimer.setEnabled(true);
            this.startTick = this.clock.now();
        }

        restart() {
            this.event('restart');
            this.playTimer.setEnabled(false);
            this.loopTimer.setEnabled(false);
            this.holding = false;
            this.holdFlag = null;
            this.holdTimer.setEnabled(false);
            this.clockOffset = 0;
            this.loops = [];
            this.loopStartTick = 0;
            this.setCurrent(0);
            this.playClock = 0;
            for (const e of this.entries) {
                if (e.kind !== Kind.ObjectShow)
                    continue;
                const o = e.object;
                if (isPlayedMedia(o)) {
                    if (isVideoKind(o.kind))
                        this.views.setObjectVisible(o, false);
                    const player = this.players.get(o);
                    if (player) {
                        player.stop();
                        player.seek(0);
                    }
                } else {
                    this.views.setObjectVisible(o, !o.disabled && o.barLeft <= 0 && 0 <= o.barLeft + o.barWidth);
                }
            }
            this.startTick = this.clock.now();
            this.playingMedia = [];
            this.resetClock = true;
            this.paused = false;
            this.playing = true;
            this.playTimer.setEnabled(true);
        }

        pause(resumeOnKey) {
            if (this.paused || !this.playing)
                return;
            this.loopTimer.setEnabled(false);
            this.playTimer.setEnabled(false);
            const now = this.clock.now();
            if (this.holding) {
                this.holdLeft = Math.max(0, this.holdUntil - now);
                this.holdTimer.setEnabled(false);
            } else {
                for (const o of this.playingMedia) {
                    const player = this.players.get(o);
                    if (player)
                        player.pause();
                }
            }
            this.resumeOnKey = resumeOnKey;
            this.pauseTick = now;
            this.paused = true;
        }

        resume() {
            if (!this.paused)
                return;
            const now = this.clock.now();
            this.clockOffset += this.pauseTick - now;
            if (this.loops.length)
                this.loopTimer.setEnabled(true);
            this.playTimer.setEnabled(true);
            this.paused = false;
            this.event('resume');
            if (this.holding) {
                this.holdUntil = now + this.holdLeft;
                this.holdTimer.setInterval(saturated(Math.max(1, this.holdLeft)));
                this.holdTimer.setEnabled(true);
            } else {
                for (const o of this.playingMedia) {
                    const player = this.players.get(o);
                    if (player)
                        player.play();
                }
            }
        }

        // A key press resumes a pause that waits for a key, a click one that waits for a click.
        pauseInput(keyDown) {
            if (this.paused && keyDown === this.resumeOnKey)
                this.resume();
        }

        delay(hold) {
            hold = Math.max(0, hold);
            for (const loop of this.loops)
                loop.credit += hold;
            if (hold === 0)
                return;
            for (const o of this.playingMedia) {
                const player = this.players.get(o);
                if (player) {
                    player.setNotify(false);
                    player.pause();
                }
            }
            const ms = hold * 10;
            this.holding = true;
            this.holdUntil = this.clock.now() + ms;
            this.holdTimer.setEnabled(false);
            this.holdTimer.setInterval(saturated(ms));
            this.holdTimer.setEnabled(true);
        }

        endHold() {
            this.holding = false;
            this.holdTimer.setEnabled(false);
            for (const o of this.playingMedia) {
                const player = this.players.get(o);
                if (player) {
                    player.setNotify(true);
                    player.play();
                }
            }
            const flag = this.holdFlag;
            this.holdFlag = null;
            this.event('delay-end', flag);
        }

        stop() {
            if (this.slide)
                for (const o of this.slide.objects) {
                    const player = this.players.get(o);
                    if (player) {
                        player.setNotify(false);
                        player.stop();
                    }
                }
            this.playingMedia = [];
            this.playTimer.setEnabled(false);
            this.loopTimer.setEnabled(false);
            this.holding = false;
            this.holdFlag = null;
            this.holdTimer.setEnabled(false);
            this.inTick = false;
            this.paused = false;
            this.playing = false;
        }

        showObject(o, startMedia) {
            if (!isPlayedMedia(o)) {
                this.views.setObjectVisible(o, true);
                return;
            }
            // A sound stays unseen while it plays; a clip shows its display.
            if (isVideoKind(o.kind))
                this.views.setObjectVisible(o, true);
            const player = this.players.get(o);
            if (!player)
                return;
            if (startMedia) {
                player.setNotify(true);
                player.play();
            }
            if (!this.playingMedia.includes(o))
                this.playingMedia.push(o);
        }

        hideObject(o) {
            if (!isPlayedMedia(o)) {
                this.views.setObjectVisible(o, false);
                return;
            }
            const player = this.players.get(o);
            if (player) {
                player.stop();
                player.seek(0);
            }
            this.playingMedia = this.playingMedia.filter((x) => x !== o);
            if (isVideoKind(o.kind))
                this.views.setObjectVisible(o, false);
        }

        seekEntry(target) {
            if (!target || target.position >= this.entries.length || this.entries[target.position] !== target)
                return;
            const t = target.position;
            const c = this.currentEntry ? this.currentEntry.position : this.entries.length - 1;
            if (t < c) {
                for (let i = c; i >= t; --i) {
                    const e = this.entryAt(i);
                    if (e.kind === Kind.ObjectHide && e.object.barLeft <= target.time)
                        this.showObject(e.object, false);
                    else if (e.kind === Kind.ObjectShow)
                        this.hideObject(e.object);
                }
            } else {
                for (let i = c; i <= t; ++i) {
                    const e = this.entryAt(i);
                    if (e.kind === Kind.ObjectShow && e.object.barLeft + e.object.barWidth >= target.time)
                        this.showObject(e.object, false);
                    else if (e.kind === Kind.ObjectHide)
                        this.hideObject(e.object);
                }
            }
            for (const o of this.playingMedia) {
                const player = this.players.get(o);
                if (!player)
                    continue;
                let position = Math.max(0, (target.time - o.barLeft) * 10);
                const length = player.length();
                // A medium of no known length starts over; any other goes round as often as it fits.
                if (length <= 0)
                    position = 0;
                else if (position > length)
                    position = ((position - 1) % length) + 1;
                player.seek(position);
                player.play();
            }
            this.setCurrent(t);
            this.clockOffset += (target.time - this.playClock) * 10;
            this.playClock = target.time;
        }

        popExpiredLoops(tick) {
            let taken = null;
            while (this.loops.length) {
                const loop = this.loops[this.loops.length - 1];
                if (loop.byCount || tick - loop.startTick < loop.remaining * 10)
                    break;
                taken = this.loops.pop();
            }
            return taken;
        }

        clockTick() {
            if (this.inTick)
                return;
            this.inTick = true;
            try {
                this.tick();
            } finally {
                this.inTick = false;
            }
        }

        tick() {
            const tick = this.clock.now();
            if (this.holding) {
                // Nothing moves until the hold is over.
                if (tick < this.holdUntil)
                    return;
                this.endHold();
            }
            this.playClock = saturated(Math.min(div(tick + this.clockOffset - this.startTick, 10), this.maxTime));
            if (this.resetClock) {
                this.playClock = 0;
                this.resetClock = false;
            }
            if (this.views.clockMoved)
                this.views.clockMoved(this.playClock);

            // Media repeat for as long as their bars last.
            for (const o of this.playingMedia.slice()) {
                const player = this.players.get(o);
                if (player && player.isStopped()) {
                    player.seek(0);
                    player.play();
                }
            }

            const expired = this.popExpiredLoops(tick);
            if (expired && expired.endEntry) {
                this.event('loop-expired', loopFlag(expired));
                this.seekEntry(expired.endEntry);
                this.setCurrent(expired.endEntry.position + 1);
            }

            // A Delay, Pause or Stop ends the walk: what else is due waits until play goes on.
            const going = () => this.playing && !this.paused && !this.holding;
            while (going() && this.currentEntry && this.currentEntry.time < this.playClock) {
                this.process(this.currentEntry, tick);
                this.setCurrent(this.currentIndex + 1);
            }

            if (going() && this.playClock >= this.maxTime) {
                this.playTimer.setEnabled(false);
                this.playClock = this.maxTime;
                this.loopTimer.setEnabled(false);
                this.playing = false;
                this.event('end');
                if (this.slide && this.slide.ending.slideId !== 0 && this.views.followLink)
                    this.views.followLink();
            }
        }

        process(e, tick) {
            const flag = e.flag;
            switch (e.kind) {
            case Kind.LoopStart: {
                if (!e.link)
                    break;
                this.loopStartTick = this.clock.now();
                this.loops.push({
                    credit: 0,
                    remaining: flag.timeAssociated,
                    endTime: flag.loopEnd,
                    byCount: flag.active,
                    startTick: this.loopStartTick,
                    endEntry: e.link,
                });
                this.event('loop', flag, flag.timeAssociated);
                break;
            }
            case Kind.LoopEnd: {
                // Only the end of the innermost loop turns back; any other is passed.
                const inner = this.loops[this.loops.length - 1];
                if (!e.link || !inner || inner.endEntry !== e)
                    break;
                const start = e.link.flag;
                if (inner.byCount && --inner.remaining < 0) {
                    this.loops.pop();
                    this.event('loop-out', start);
                    const outer = this.popExpiredLoops(tick);
                    if (outer && outer.endEntry) {
                        this.event('loop-expired', loopFlag(outer));
                        this.seekEntry(outer.endEntry);
                        this.currentIndex = outer.endEntry.position;
                    }
                    break;
                }
                this.event('loop-again', start, inner.byCount ? inner.remaining : -1);
                this.seekEntry(e.link);
                this.currentIndex = e.link.position;
                break;
            }
            case Kind.Jump:
                if (e.link) {
                    this.event('jump', flag, e.link.position);
                    this.seekEntry(e.link);
                    this.currentIndex = e.link.position;
                } else {
                    this.event('jump-nowhere', flag);
                }
                break;
            case Kind.Label:
                this.event('label', flag);
                break;
            case Kind.Delay: {
                const hold = Math.max(0, flag.timeAssociated);
                this.event('delay', flag, hold);
                this.holdFlag = flag;
                this.delay(hold);
                // The clock does not advance over the hold.
                this.clockOffset -= hold * 10;
                break;
            }
            case Kind.Pause:
                this.event('pause', flag, flag.active ? 1 : 0);
                this.pause(flag.active);
                break;
            case Kind.Stop:
                this.event('stop', flag);
                this.stop();
                break;
            case Kind.ObjectShow:
            case Kind.ObjectHide:
                if (e.object.disabled)
                    break;
                if (e.kind === Kind.ObjectShow)
                    this.showObject(e.object, true);
                else
                    this.hideObject(e.object);
                break;
            }
        }

        loopTimerTick() {
            // Nothing moves during a hold.
            if (this.holding || this.paused || !this.playing)
                return;
            if (!this.loops.length) {
                this.loopTimer.setEnabled(false);
                return;
            }
            const inner = this.loops[this.loops.length - 1];
            const elapsed = div(this.clock.now() - this.loopStartTick, 10) + inner.credit;
            if (inner.byCount || elapsed < inner.remaining)
                return;
            for (let i = 0; i + 2 < this.loops.length; ++i)
                this.loops[i].credit += elapsed;
            const loop = this.loops.pop();
            if (loop.endEntry) {
                this.event('loop-expired', loopFlag(loop));
                this.seekEntry(loop.endEntry);
                this.setCurrent(loop.endEntry.position + 1);
            }
            if (!this.loops.length)
                this.loopTimer.setEnabled(false);
        }
    }

    function loopFlag(loop) {
        return loop.endEntry && loop.endEntry.link ? loop.endEntry.link.flag : null;
    }

    // ------------------------------------------------------------------------------------------
    // A ClearBook as it plays: the slide playing, the slides left by links (for Backward).

    const LinkWords = { '-1': 'next', '-2': 'previous', '-3': 'back', '-4': 'replay' };

    class BookPlay {
        constructor(book, clock, views) {
            this.book = book;
            this.views = views;
            this.history = [];
            const forward = Object.create(views);
            forward.followLink = () => this.followLink(null);
            this.list = new PlayList(clock, forward);
        }
        start(slide) {
            this.history = [];
            this.startSlide(slide);
        }
        startSlide(slide) {
            this.list.playClock = 0;
            this.views.slideStarting(slide);
            this.list.build(slide, loadFlags(slide));
            this.list.link();
            this.list.start();
        }
        resolve(from, link) {
            const slides = from.book.slides;
            let target = null;
            switch (link.slideId) {
            case 0:
                return { action: 'nothing' };
            case -4:
                return { action: 'restart' };
            case -3:
                if (!this.history.length)
                    return { action: 'nothing' };
                target = this.history.pop();
                return { action: target === from ? 'restart' : 'slide', slide: target, backward: true };
            case -2:
                target = slides[from.index - 1] || null;
                break;
            case -1:
                target = slides[from.index + 1] || null;
                break;
            default:
                if (link.slideId < 0)
                    return { action: 'nothing' };
                if (link.other) {
                    const book = (from.book.library || [from.book]).find((b) => b.id === link.clearBookId);
                    target = book ? book.slides.find((x) => x.slideId === link.slideId) || null : null;
                } else {
                    target = slides[link.slideIndex] || null;
                }
                if (!target)
                    return { action: 'missing' };
                break;
            }
            if (!target)
                return { action: 'nothing' };
            return { action: target === from ? 'restart' : 'slide', slide: target };
        }
        // An object's link (pressed during play), or with none the playing slide's own.
        followLink(object) {
            const from = this.list.slide;
            if (!from)
                return;
            const link = object ? object.link : from.ending;
            if (link.slideId === 0)
                return;
            const how = LinkWords[link.slideId] || 'slide';
            const target = this.resolve(from, link);
            const told = (result) => this.views.linkFollowed && this.views.linkFollowed(how, result);
            switch (target.action) {
            case 'nothing':
                told('none');
                return;
            case 'missing':
                told('missing');
                if (this.views.report)
                    this.views.report('Cannot find the slide linked to.');
                return;
            case 'restart':
                told('');
                this.list.restart();
                return;
            case 'slide':
                told('');
                if (!target.backward)
                    this.history.push(from);
                this.list.stop();
                this.views.slideLeaving(from);
                this.startSlide(target.slide);
                return;
            }
        }
    }

    // ------------------------------------------------------------------------------------------
    // The trace: the book played on a virtual clock, every event a line, as the desktop's
    // `vkctl book play --trace` writes it.

    function escapeField(value) {
        return String(value).replace(/[\\\t\n\r]/g, (c) => ({ '\\': '\\\\', '\t': '\\t', '\n': '\\n', '\r': '\\r' })[c]);
    }

    // A medium as long as its object's bar, which plays until it is stopped.
    class TraceMedium {
        constructor(trace, o, clock) {
            this.trace = trace;
            this.object = o;
            this.clock = clock;
            this.state = 'stopped';
            this.positionMs = 0;
            this.since = 0;
        }
        position() {
            return this.state === 'playing' ? this.positionMs + (this.clock.now() - this.since) : this.positionMs;
        }
        length() {
            return this.object.barWidth * 10;
        }
        isStopped() {
            return this.state === 'stopped';
        }
        setNotify() {}
        seek(ms) {
            this.positionMs = ms;
            this.since = this.clock.now();
        }
        play() {
            this.positionMs = this.position();
            this.since = this.clock.now();
            this.state = 'playing';
            this.trace.line('media-play', this.trace.objectFields(this.object).concat([String(this.positionMs)]));
        }
        pause() {
            if (this.state !== 'playing')
                return;
            this.positionMs = this.position();
            this.state = 'paused';
            this.trace.line('media-pause', this.trace.objectFields(this.object));
        }
        stop() {
            if (this.state === 'stopped')
                return;
            this.positionMs = this.position();
            this.state = 'stopped';
            this.trace.line('media-stop', this.trace.objectFields(this.object));
        }
    }

    // Plays the book from slide `first` (from 0) until play ends or `limitMs` of virtual time
    // have passed; a pause ends after `resumeAfterMs`. Answers the lines.
    function runTrace(doc, options) {
        const opts = Object.assign({ slide: 0, limitMs: 600000, resumeAfterMs: 1000 }, options || {});
        const book = loadBook(doc);
        const clock = new Clock();
        const lines = [];
        let shownBook = null;
        let visible = new Map();
        let play = null;
        const trace = {
            line(event, fields) {
                const all = [String(clock.now()), String(play.list.playClock), event];
                for (const f of fields || [])
                    all.push(escapeField(f));
                lines.push(all.join('\t'));
            },
            objectFields(o) {
                return [String(o.designOrder + 1), o.title];
            },
        };
        const views = {
            setObjectVisible(o, on) {
                if ((visible.get(o) || false) === on)
                    return;
                visible.set(o, on);
                trace.line(on ? 'show' : 'hide', trace.objectFields(o));
            },
            openMedia(o) {
                return new TraceMedium(trace, o, clock);
            },
            slideStarting(slide) {
                if (slide.book !== shownBook) {
                    shownBook = slide.book;
                    trace.line('book', [shownBook.title]);
                }
                trace.line('slide', [String(slide.index + 1), slide.title]);
                visible = new Map();
                // The surface puts up what the cursor at 0 shows; clips and sounds wait to play.
                for (const o of slide.objects) {
                    if (o.disabled || isAudioKind(o.kind) || isVideoKind(o.kind))
                        continue;
                    if (o.barLeft <= 0 && 0 <= o.barLeft + o.barWidth)
                        views.setObjectVisible(o, true);
                }
            },
            slideLeaving(slide) {
                for (const o of slide.objects)
                    views.setObjectVisible(o, false);
            },
            linkFollowed(how, result) {
                trace.line('link', result ? [how, result] : [how]);
            },
            playEvent(what, flag, value) {
                const name = flag ? flag.name : '';
                switch (what) {
                case 'loop':
                    trace.line('loop', [name, (flag.active ? 'count ' : 'limit ') + value]);
                    break;
                case 'loop-again':
                    trace.line('loop-again', value >= 0 ? [name, 'left ' + value] : [name]);
                    break;
                case 'jump':
                case 'jump-nowhere':
                    trace.line(what, [name, flag.jumpTo]);
                    break;
                case 'delay':
                    trace.line('delay', [name, String(value)]);
                    break;
                case 'pause':
                    trace.line('pause', [name, value ? 'key' : 'click']);
                    audience.setEnabled(false);
                    audience.setInterval(opts.resumeAfterMs);
                    audience.setEnabled(true);
                    break;
                case 'resume':
                    audience.setEnabled(false);
                    trace.line('resume');
                    break;
                case 'end':
                case 'restart':
                    trace.line(what);
                    break;
                default: // loop-out, loop-expired, label, delay-end, stop
                    trace.line(what, [name]);
                    break;
                }
            },
        };
        play = new BookPlay(book, clock, views);
        const audience = clock.createTimer(() => {
            audience.setEnabled(false);
            play.list.pauseInput(play.list.resumeOnKey);
        });
        const first = book.slides[opts.slide];
        if (!first)
            return lines;
        play.start(first);
        for (;;) {
            const due = clock.nextDue();
            if (due < 0)
                break;
            if (due > opts.limitMs) {
                clock.setNow(opts.limitMs);
                trace.line('limit');
                break;
            }
            clock.fireNext(opts.limitMs);
        }
        return lines;
    }

    // ------------------------------------------------------------------------------------------
    // The page: the slide surface scaled to the window, the objects drawn as the desktop's
    // surface draws them, the media through the browser's own elements.

    // The slides are laid out on an 800 × 600 page of reference units.
    const DesignWidth = 800;
    const DesignHeight = 600;

    // The surface in a window: the page's aspect, as large as fits, centred; its zoom a whole
    // area percentage, as the desktop player places it.
    function showPlacement(width, height) {
        const f = Math.min(width / DesignWidth, height / DesignHeight);
        const zoom = Math.max(1, Math.round(100 * f * f));
        const z = Math.sqrt(Math.max(zoom, 1) / 100);
        const w = Math.min(Math.max(Math.round(DesignWidth * z), 1), Math.max(1, width));
        const h = Math.min(Math.max(Math.round(DesignHeight * z), 1), Math.max(1, height));
        return { left: div(width - w, 2), top: div(height - h, 2), width: w, height: h, zoom, z };
    }

    function displayRect(o, z) {
        const x = o.source;
        const d = Array.isArray(x.display) ? x.display : [0, 0, 0, 0];
        const held = [x.left, x.top, x.width, x.height].map(Number);
        const r = held.map((v, i) => (v && isFinite(v) ? Math.trunc(v * z) : intOf(d[i])));
        return { left: r[0], top: r[1], width: Math.max(1, r[2]), height: Math.max(1, r[3]) };
    }

    // Round half away from zero, as the gradient's bands are cut.
    function mulDiv(a, b, c) {
        if (c === 0)
            return 0;
        const n = a * b;
        const q = Math.trunc(n / c), r = n % c;
        if (2 * Math.abs(r) >= Math.abs(c))
            return q + ((n < 0) !== (c < 0) ? -1 : 1);
        return q;
    }

    function rgb(hex) {
        const m = /^#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})$/i.exec(hex || '');
        return m ? [parseInt(m[1], 16), parseInt(m[2], 16), parseInt(m[3], 16)] : [255, 255, 255];
    }

    function paintBackground(canvas, look, picture, z) {
        const w = canvas.width, h = canvas.height;
        const g = canvas.getContext('2d');
        g.imageSmoothingEnabled = false;
        const begin = rgb(look.begin), end = rgb(look.end);
        const n = 255;
        for (let i = 0; i < n; ++i) {
            const band = begin.map((c, k) => c + mulDiv(i, end[k] - c, n - 1));
            const y0 = mulDiv(i, h, n), y1 = mulDiv(i + 1, h, n);
            if (y1 > y0) {
                g.fillStyle = 'rgb(' + band.join(',') + ')';
                g.fillRect(0, y0, w, y1 - y0);
            }
        }
        if (!picture)
            return;
        const pw = Math.trunc(picture.naturalWidth * z), ph = Math.trunc(picture.naturalHeight * z);
        if (pw < 1 || ph < 1)
            return;
        switch (look.style) {
        case 0:
            g.drawImage(picture, div(w - pw, 2), div(h - ph, 2), pw, ph);
            break;
        case 1:
            g.drawImage(picture, 0, 0, w, h);
            break;
        case 2:
            for (let c = 0; c <= div(w, pw); ++c)
                for (let r = 0; r <= div(h, ph); ++r)
                    g.drawImage(picture, c * pw, r * ph, pw, ph);
            break;
        }
    }

    const SvgNs = 'http://www.w3.org/2000/svg';
    const DashArrays = { 1: [3, 1], 2: [1, 1], 3: [3, 1, 1, 1], 4: [3, 1, 1, 1, 1, 1] };

    function svg(tag, attributes) {
        const e = document.createElementNS(SvgNs, tag);
        for (const k in attributes)
            e.setAttribute(k, attributes[k]);
        return e;
    }

    function hatch(defs, id, style, color) {
        const p = svg('pattern', { id, width: 8, height: 8, patternUnits: 'userSpaceOnUse' });
        const lines = {
            2: [[0, 4, 8, 4]],
            3: [[4, 0, 4, 8]],
            4: [[0, 0, 8, 8]],
            5: [[0, 8, 8, 0]],
            6: [[0, 4, 8, 4], [4, 0, 4, 8]],
            7: [[0, 0, 8, 8], [0, 8, 8, 0]],
        }[style] || [];
        for (const [x1, y1, x2, y2] of lines)
            p.appendChild(svg('line', { x1, y1, x2, y2, stroke: color, 'stroke-width': 1 }));
        defs.appendChild(p);
        return 'url(#' + id + ')';
    }

    let shapeIds = 0;

    function drawShape(o, r, z) {
        const look = o.look;
        const pen = look.pen || { color: '#000000', width: 1, style: 0 };
        const brush = look.brush || { color: '#ffffff', style: 0 };
        const el = svg('svg', { width: r.width, height: r.height, viewBox: '0 0 ' + r.width + ' ' + r.height });
        el.style.overflow = 'visible';
        const defs = svg('defs', {});
        el.appendChild(defs);
        const width = Math.max(1, pen.width);
        const stroke = pen.style === 5 ? 'none' : pen.color;
        const fill = brush.style === 1 ? 'none' : brush.style === 0 ? brush.color : hatch(defs, 'vkh' + ++shapeIds, brush.style, brush.color);
        const common = { stroke, 'stroke-width': width, fill };
        if (DashArrays[pen.style])
            common['stroke-dasharray'] = DashArrays[pen.style].map((d) => d * width).join(' ');
        const inset = div(pen.width, 2);
        const box = { x: inset, y: inset, w: r.width - 2 * inset - 1, h: r.height - 2 * inset - 1 };
        const arrow = Math.max(8, pen.width * 3);
        const arrowHead = (from, to) => {
            const dx = from[0] - to[0], dy = from[1] - to[1];
            const len = Math.hypot(dx, dy);
            if (len < 1)
                return;
            const angle = Math.atan2(dy, dx);
            for (const turn of [25, -25]) {
                const a = angle + (turn * Math.PI) / 180;
                el.appendChild(svg('line', Object.assign({}, common, { fill: 'none', x1: to[0], y1: to[1], x2: to[0] + arrow * Math.cos(a), y2: to[1] + arrow * Math.sin(a) })));
            }
        };
        switch (o.kind) {
        case 451:
            el.appendChild(svg('rect', Object.assign({ x: box.x, y: box.y, width: Math.max(0, box.w), height: Math.max(0, box.h) }, common)));
            break;
        case 452: {
            const corner = div(Math.min(box.w + 1, box.h + 1), 4) / 2;
            el.appendChild(svg('rect', Object.assign({ x: box.x, y: box.y, width: Math.max(0, box.w), height: Math.max(0, box.h), rx: corner, ry: corner }, common)));
            break;
        }
        case 453:
            el.appendChild(svg('ellipse', Object.assign({ cx: box.x + box.w / 2, cy: box.y + box.h / 2, rx: Math.max(0, box.w / 2), ry: Math.max(0, box.h / 2) }, common)));
            break;
        case 454:
        case 455: {
            const a = o.kind === 454 ? [box.x, box.y] : [box.x, box.y + box.h];
            const b = o.kind === 454 ? [box.x + box.w, box.y + box.h] : [box.x + box.w, box.y];
            el.appendChild(svg('line', Object.assign({}, common, { x1: a[0], y1: a[1], x2: b[0], y2: b[1] })));
            if (look.arrow & 1)
                arrowHead(a, b);
            if (look.arrow & 2)
                arrowHead(b, a);
            break;
        }
        case 456: {
            const pts = (look.points || []).map(([x, y]) => [x * z, y * z]);
            const text = pts.map((p) => p.join(',')).join(' ');
            el.appendChild(svg(brush.style !== 1 ? 'polygon' : 'polyline', Object.assign({ points: text }, common)));
            if (pts.length >= 2) {
                if (look.arrow & 1)
                    arrowHead(pts[pts.length - 2], pts[pts.length - 1]);
                if (look.arrow & 2)
                    arrowHead(pts[1], pts[0]);
            }
            break;
        }
        }
        return el;
    }

    function fontCss(font, z) {
        const size = Math.max(1, Math.trunc((font.size || 0) * z));
        const family = (font.family || 'Sans').replace(/["\\]/g, '');
        return (font.italic ? 'italic ' : '') + (font.bold ? 'bold ' : '') + size + 'pt "' + family + '", sans-serif';
    }

    function textDecoration(font) {
        const d = [];
        if (font.underline)
            d.push('underline');
        if (font.strikeOut)
            d.push('line-through');
        return d.join(' ') || 'none';
    }

    // One object's element on the surface, placed for the zoom.
    function makeVisual(o, z, mediaElement) {
        const r = displayRect(o, z);
        const look = o.look;
        let el;
        if (isImageKind(o.kind)) {
            el = document.createElement('img');
            el.alt = '';
            if (look.src)
                el.src = look.src;
        } else if (isVideoKind(o.kind) && mediaElement) {
            el = mediaElement;
        } else if (o.kind === 410 || o.kind === 420 || o.kind === 430) {
            el = document.createElement('div');
            const text = document.createElement('span');
            text.textContent = o.kind === 430 ? look.text || '' : o.caption;
            el.appendChild(text);
            const font = look.font || {};
            el.style.font = fontCss(font, z);
            el.style.color = look.fontColor || '#000000';
            text.style.textDecoration = textDecoration(font);
            if (o.kind === 410) {
                el.className = 'vk-text';
                el.style.background = look.color || 'transparent';
            } else if (o.kind === 420) {
                el.className = 'vk-button';
                el.style.background = look.face || '#efefef';
                el.style.borderColor = (look.light || '#ffffff') + ' ' + (look.shadow || '#000000') + ' ' + (look.shadow || '#000000') + ' ' + (look.light || '#ffffff');
            } else {
                el.className = 'vk-memo';
                el.style.background = look.color || '#ffffff';
                el.style.borderColor = look.border || '#a0a0a0';
            }
        } else if (isShapeKind(o.kind)) {
            el = document.createElement('div');
            el.appendChild(drawShape(o, r, z));
        } else {
            el = document.createElement('div');
        }
        el.classList.add('vk-object');
        Object.assign(el.style, { left: r.left + 'px', top: r.top + 'px', width: r.width + 'px', height: r.height + 'px' });
        if (o.link.slideId !== 0)
            el.classList.add('vk-linked');
        if (o.source.hint)
            el.title = String(o.source.hint);
        return el;
    }

    // An audio or video object's medium through the browser's element. Positions in ms.
    class ElementMedium {
        constructor(element, page) {
            this.el = element;
            this.page = page;
            this.stopped = true;
            this.el.preload = 'auto';
        }
        length() {
            const d = this.el.duration;
            return isFinite(d) && d > 0 ? Math.round(d * 1000) : 0;
        }
        isStopped() {
            return this.stopped || this.el.ended;
        }
        setNotify() {}
        seek(ms) {
            try {
                this.el.currentTime = ms / 1000;
            } catch (e) {
                // Not loaded yet: it starts from the beginning.
            }
        }
        play() {
            this.stopped = false;
            const started = this.el.play();
            if (started && started.catch)
                started.catch(() => this.page.waitForGesture(this));
        }
        pause() {
            this.el.pause();
        }
        stop() {
            this.stopped = true;
            this.el.pause();
        }
    }

    class Page {
        constructor(doc, root) {
            this.doc = doc;
            this.book = loadBook(doc);
            this.root = root;
            this.clock = new Clock();
            this.origin = performance.now();
            this.timer = null;
            this.visuals = new Map();
            this.media = new Map();
            this.blocked = new Set();
            this.pictures = new Map();
            this.place = null;
            this.surface = document.createElement('div');
            this.surface.className = 'vk-surface';
            this.background = document.createElement('canvas');
            this.background.className = 'vk-background';
            this.surface.appendChild(this.background);
            root.appendChild(this.surface);
            this.play = new BookPlay(this.book, this.clock, this);
            this.surface.addEventListener('mousedown', (e) => this.pressed(e));
            this.surface.addEventListener('contextmenu', (e) => e.preventDefault());
            window.addEventListener('keydown', (e) => this.key(e));
            window.addEventListener('resize', () => this.layout());
        }

        // The clock follows real time: every timer due by now fires, in order.
        pump() {
            this.timer = null;
            this.clock.advanceTo(Math.max(0, Math.round(performance.now() - this.origin)));
            this.schedule();
        }
        schedule() {
            if (this.timer !== null)
                clearTimeout(this.timer);
            const due = this.clock.nextDue();
            this.timer = due < 0 ? null : setTimeout(() => this.pump(), Math.max(0, due - (performance.now() - this.origin)));
        }
        input(f) {
            this.clock.setNow(Math.max(0, Math.round(performance.now() - this.origin)));
            f();
            this.schedule();
        }

        start() {
            if (!this.book.slides.length) {
                this.root.appendChild(Object.assign(document.createElement('p'), { className: 'vk-empty', textContent: 'This ClearBook has no slides.' }));
                return;
            }
            this.input(() => this.play.start(this.book.slides[0]));
        }

        objectAt(x, y) {
            const slide = this.play.list.slide;
            if (!slide)
                return null;
            for (let i = slide.objects.length - 1; i >= 0; --i) {
                const o = slide.objects[i];
                const v = this.visuals.get(o);
                if (!v || !v.shown || isAudioKind(o.kind))
                    continue;
                const r = displayRect(o, this.place.z);
                if (x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height)
                    return o;
            }
            return null;
        }

        pressed(e) {
            this.releaseGesture();
            if (e.button !== 0)
                return;
            const box = this.surface.getBoundingClientRect();
            const o = this.objectAt(e.clientX - box.left, e.clientY - box.top);
            this.input(() => {
                if (o && o.link.slideId !== 0)
                    this.play.followLink(o);
                else
                    this.play.list.pauseInput(false);
            });
        }

        key(e) {
            this.releaseGesture();
            if (e.key === 'F5' || e.ctrlKey || e.metaKey || e.altKey)
                return;
            this.input(() => this.play.list.pauseInput(true));
        }

        // Sound may not start before the person has touched the page; it starts at the first touch.
        waitForGesture(medium) {
            this.blocked.add(medium);
            this.root.classList.add('vk-muted');
        }
        releaseGesture() {
            const waiting = [...this.blocked];
            this.blocked.clear();
            this.root.classList.remove('vk-muted');
            for (const m of waiting)
                if (!m.stopped)
                    m.play();
        }

        picture(src) {
            if (!this.pictures.has(src)) {
                const img = new Image();
                img.src = src;
                this.pictures.set(src, img);
            }
            return this.pictures.get(src);
        }

        layout() {
            const slide = this.play.list.slide;
            this.place = showPlacement(window.innerWidth, window.innerHeight);
            const p = this.place;
            Object.assign(this.surface.style, { left: p.left + 'px', top: p.top + 'px', width: p.width + 'px', height: p.height + 'px' });
            this.background.width = p.width;
            this.background.height = p.height;
            if (!slide)
                return;
            const look = slide.look;
            const picture = look.picture ? this.picture(look.picture) : null;
            const paint = () => {
                if (this.play.list.slide === slide)
                    paintBackground(this.background, look, picture && picture.complete && picture.naturalWidth ? picture : null, p.z);
            };
            paint();
            if (picture && !picture.complete)
                picture.addEventListener('load', paint, { once: true });
            for (const [o, v] of this.visuals) {
                const medium = this.media.get(o);
                if (v.el && medium && v.el === medium.el) {
                    // A clip playing keeps its element: taken out of the page it would stop.
                    const r = displayRect(o, p.z);
                    Object.assign(v.el.style, { left: r.left + 'px', top: r.top + 'px', width: r.width + 'px', height: r.height + 'px' });
                    continue;
                }
                if (v.el)
                    v.el.remove();
                v.el = makeVisual(o, p.z, medium ? medium.el : null);
                v.el.style.display = v.shown ? '' : 'none';
                this.surface.appendChild(v.el);
            }
        }

        // BookPlayViews
        slideStarting(slide) {
            this.releaseMedia();
            for (const v of this.visuals.values())
                v.el.remove();
            this.visuals = new Map();
            document.title = slide.title || this.book.title || 'ClearBook';
            for (const o of slide.objects) {
                if (o.disabled || isAudioKind(o.kind))
                    continue;
                this.visuals.set(o, { el: null, shown: !isVideoKind(o.kind) && o.barLeft <= 0 && 0 <= o.barLeft + o.barWidth });
            }
            this.play.list.slide = slide; // for the layout, before the play list is built
            this.layout();
        }
        slideLeaving() {
            this.releaseMedia();
            for (const v of this.visuals.values())
                v.el.remove();
            this.visuals = new Map();
        }
        releaseMedia() {
            for (const m of this.media.values()) {
                m.el.pause();
                m.el.removeAttribute('src');
                m.el.load();
                m.el.remove();
            }
            this.media = new Map();
            this.blocked.clear();
        }
        setObjectVisible(o, on) {
            const v = this.visuals.get(o);
            if (!v)
                return;
            v.shown = on;
            if (v.el)
                v.el.style.display = on ? '' : 'none';
        }
        openMedia(o) {
            const src = o.look.src;
            if (!src)
                return null;
            const el = document.createElement(isVideoKind(o.kind) ? 'video' : 'audio');
            el.src = src;
            const m = new ElementMedium(el, this);
            this.media.set(o, m);
            if (isVideoKind(o.kind)) {
                const v = this.visuals.get(o);
                if (v) {
                    if (v.el)
                        v.el.remove();
                    v.el = makeVisual(o, this.place.z, el);
                    v.el.style.display = v.shown ? '' : 'none';
                    this.surface.appendChild(v.el);
                }
            }
            return m;
        }
        report(text) {
            const note = document.createElement('div');
            note.className = 'vk-note';
            note.textContent = text;
            this.root.appendChild(note);
            setTimeout(() => note.remove(), 3000);
        }
    }

    // Plays the document the page holds in its "clearbook" script element.
    function startPage() {
        const holder = document.getElementById('clearbook');
        const root = document.getElementById('vk-player');
        if (!holder || !root)
            return null;
        let doc;
        try {
            doc = JSON.parse(holder.textContent);
        } catch (e) {
            root.textContent = 'The ClearBook in this page cannot be read.';
            return null;
        }
        const page = new Page(doc, root);
        page.start();
        window.vellumarkPage = page;
        return page;
    }

    if (typeof document !== 'undefined' && typeof window !== 'undefined') {
        if (document.readyState === 'loading')
            document.addEventListener('DOMContentLoaded', startPage);
        else
            startPage();
    }

    return { Clock, PlayList, BookPlay, loadBook, loadFlags, runTrace, escapeField, showPlacement, mulDiv };
});
