'use strict';
// The unit's controls, built from the settings the program sends when the
// socket opens, kept in step with every change it sends after.
(() => {
  const LABELS = {
    power: 'Power', input: 'Input', output: 'Output', bypass: 'PC bypass', display: 'Display',
    aspect: 'Aspect', ir: 'IR remote', lock: 'Front panel lock', enhance: 'Enhance', nr: 'Noise reduction',
    osd: 'On-screen display', blank: 'Blank', freeze: 'Freeze', bright: 'Brightness', contrast: 'Contrast',
    color: 'Colour', sharp: 'Sharpness', tint: 'Tint', volume: 'Volume',
  };
  const MAIN = ['power', 'input', 'bypass', 'output'];
  const $ = (id) => document.getElementById(id);
  const controls = {};   // name -> {show(value), busy(on), refused(on)}
  const unit = {};       // name -> the value the unit holds
  const waiting = {};    // id -> name
  let socket = null, nextId = 1, built = false, retry = 250;

  function send(name, value) {
    if (!socket || socket.readyState !== WebSocket.OPEN) {
      refuse(name, 'not connected');
      return;
    }
    const id = nextId++;
    waiting[id] = name;
    controls[name].busy(true);
    controls[name].refused(false);
    socket.send(JSON.stringify({ id, set: { [name]: value } }));
  }

  function refuse(name, why) {
    $('refused').textContent = `${LABELS[name]}: not taken: ${why}`;
    controls[name].refused(true);
    controls[name].show(unit[name]);
  }

  function element(tag, props, ...children) {
    const e = Object.assign(document.createElement(tag), props);
    e.append(...children);
    return e;
  }

  function toggle(s) {
    const b = element('button', { type: 'button', id: `c-${s.name}` }, LABELS[s.name]);
    b.addEventListener('click', () => send(s.name, b.getAttribute('aria-pressed') === 'true' ? 'off' : 'on'));
    return [b, {
      show: (v) => b.setAttribute('aria-pressed', String(v === 'on')),
      busy: (on) => b.setAttribute('aria-busy', String(on)),
      refused: (on) => b.classList.toggle('refused', on),
    }];
  }

  function choice(s) {
    const f = element('fieldset', { id: `c-${s.name}` }, element('legend', {}, LABELS[s.name]));
    const radios = s.words.map((w) => {
      const r = element('input', { type: 'radio', name: s.name, value: w });
      r.addEventListener('change', () => r.checked && send(s.name, w));
      f.append(element('label', {}, r, w));
      return r;
    });
    return [f, {
      show: (v) => radios.forEach((r) => { r.checked = r.value === v; }),
      busy: (on) => f.setAttribute('aria-busy', String(on)),
      refused: (on) => f.classList.toggle('refused', on),
    }];
  }

  function level(s) {
    const id = `c-${s.name}`;
    const input = element('input', { type: 'range', id, min: s.min, max: s.max, step: 1 });
    const out = element('output', { htmlFor: id });
    input.addEventListener('input', () => { out.value = input.value; });
    input.addEventListener('change', () => send(s.name, Number(input.value)));
    const box = element('div', { className: 'level' }, element('label', { htmlFor: id }, LABELS[s.name]), out, input);
    return [box, {
      show: (v) => { input.value = v; out.value = v; },
      busy: (on) => input.setAttribute('aria-busy', String(on)),
      refused: (on) => box.classList.toggle('refused', on),
    }];
  }

  function build(settings) {
    for (const s of settings) {
      const [node, control] = s.words ? (s.words.length === 2 && s.words.includes('on') ? toggle(s) : choice(s)) : level(s);
      controls[s.name] = control;
      $(MAIN.includes(s.name) ? 'main' : s.words ? 'adjust' : 'levels').append(node);
    }
    built = true;
  }

  function changed(values) {
    for (const [name, value] of Object.entries(values)) {
      unit[name] = value;
      if (controls[name]) controls[name].show(value);
    }
  }

  function line(l) {
    const text = `${l.port} ${l.state}${l.reason ? `: ${l.reason}` : ''}`;
    $('line').textContent = text;
  }

  function received(m) {
    if (m.settings && !built) build(m.settings);
    if (m.state) changed(m.state);
    if (m.changed) changed(m.changed);
    if (m.line) line(m.line);
    if ('message' in m) $('message').textContent = m.message;
    if ('id' in m && waiting[m.id]) {
      const name = waiting[m.id];
      delete waiting[m.id];
      controls[name].busy(false);
      if (m.ok) $('refused').textContent = '';
      else refuse(name, m.error);
    }
  }

  function connect() {
    const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    socket = new WebSocket(`${scheme}${location.host}/live${location.search}`);
    socket.onopen = () => {
      retry = 250;
      $('link').textContent = 'Connected';
      $('link').classList.remove('down');
    };
    socket.onmessage = (e) => received(JSON.parse(e.data));
    socket.onclose = () => {
      for (const id of Object.keys(waiting)) {
        const name = waiting[id];
        delete waiting[id];
        controls[name].busy(false);
        refuse(name, 'the connection was lost');
      }
      $('link').textContent = 'Reconnecting…';
      $('link').classList.add('down');
      setTimeout(connect, retry);
      retry = Math.min(retry * 2, 4000);
    };
  }
  connect();
})();
