// The page's language. Every word the page shows of its own comes from a
// table of this shape, one per part of the page:
//   {en: {key: 'text with {name}'}, hu: {key: 'szöveg {name}-vel'}}
// and is looked up with Language.text, so that switching the language is one
// call and no part keeps a word of its own outside its table. The engine's
// messages are not in any table: they stay as the command line prints them.
const Language = (() => {
  let current = 'en';
  const listeners = [];

  return {
    // 'en' or 'hu'.
    current: () => current,
    // Calls `listener(language)` after every switch, so that a part can draw
    // its words again.
    onChange(listener) {
      listeners.push(listener);
    },
    // Switches to `language` ('en' or 'hu') and tells every listener.
    set(language) {
      current = language;
      for (const listener of listeners) listener(language);
    },
    // The text of `key` in `table` in the page's language, each {name} in it
    // replaced by values[name].
    text(table, key, values = {}) {
      const text = table[current][key];
      if (text === undefined) throw new Error(`no ${current} text for ${key}`);
      return text.replace(/\{(\w+)\}/g, (_, name) => String(values[name]));
    },
  };
})();
